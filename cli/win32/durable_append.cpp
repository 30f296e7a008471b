#include "cli/durable_append.h"

#include <windows.h>

#include "cli/win32/windows_error_text.h"

namespace zav::cli {

bool append_durably(const std::string& path, const std::string& bytes, std::string& error) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "ist ein Ordner";
        return false;
    }
    // FILE_APPEND_DATA alone: every write lands at the end, whoever else
    // appends.
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = windows_error_text(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    const DWORD write_error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        error = windows_error_text(write_error);
        return false;
    }
    return true;
}

}  // namespace zav::cli
