#include "cli/platform/file_replace.h"

#include <windows.h>

#include <string>

#include "cli/platform/win32/windows_error_text.h"
#include "win32/file_replace.h"

namespace zav::cli {

// The windowed program's writer: a temporary file beside the target, flushed,
// then moved over it. Here only its reason in the system's words.
bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error) {
    if (count > MAXDWORD) {
        error = windows_error_text(ERROR_FILE_TOO_LARGE);
        return false;
    }
    FileReplaceFailure failure;
    if (replace_file_contents(path.c_str(), bytes, static_cast<DWORD>(count), failure)) return true;
    error = windows_error_text(failure.system_error);
    return false;
}

namespace {

// A temporary file beside path, filled and flushed to the disk; false with
// the system's error (nothing is left then).
bool write_temporary(const std::string& path, const uint8_t* bytes, DWORD count, std::string& name, DWORD& error) {
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(InterlockedIncrement(&counter));
        const HANDLE file =
            CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return false;
        }
        DWORD written = 0;
        bool done = WriteFile(file, bytes, count, &written, nullptr) && written == count && FlushFileBuffers(file);
        error = done ? ERROR_SUCCESS : GetLastError();
        if (!CloseHandle(file) && done) {
            done = false;
            error = GetLastError();
        }
        if (!done) DeleteFileA(name.c_str());
        return done;
    }
    return false;
}

}  // namespace

bool create_whole_file(const std::string& path, const uint8_t* bytes, size_t count, bool& exists,
                       std::string& error) {
    exists = false;
    if (count > MAXDWORD) {
        error = windows_error_text(ERROR_FILE_TOO_LARGE);
        return false;
    }
    std::string temporary;
    DWORD failure = ERROR_SUCCESS;
    if (!write_temporary(path, bytes, static_cast<DWORD>(count), temporary, failure)) {
        error = windows_error_text(failure);
        return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is
    // taken, in the same step that would take it.
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        failure = GetLastError();
        DeleteFileA(temporary.c_str());
        exists = failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS;
        error = windows_error_text(failure);
        return false;
    }
    return true;
}

}  // namespace zav::cli
