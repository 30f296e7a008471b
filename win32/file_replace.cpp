#include "win32/file_replace.h"

#include <cstring>

namespace zav {

namespace {

bool fail(FileReplaceFailure& failure, FileReplaceStep step, DWORD system_error) {
    failure.step = step;
    failure.system_error = system_error;
    return false;
}

// Writes and flushes the whole of bytes; 0 or the reason it could not.
DWORD write_all(HANDLE file, const void* bytes, DWORD count) {
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, nullptr)) return GetLastError();
    // A disk file takes everything or says why; fewer bytes without a
    // reason can only mean that the disk is full.
    if (written != count) return ERROR_HANDLE_DISK_FULL;
    if (!FlushFileBuffers(file)) return GetLastError();
    return 0;
}

}  // namespace

bool replace_file_contents(const char* path, const void* bytes, DWORD count, FileReplaceFailure& failure) {
    // The temporary file goes into the target's own folder: on its volume a
    // move is a rename, which cannot stop half-way as a copy can.
    char target[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, sizeof target, target, &name);
    if (length == 0) return fail(failure, FileReplaceStep::kCreate, GetLastError());
    if (length >= sizeof target) return fail(failure, FileReplaceStep::kCreate, ERROR_FILENAME_EXCED_RANGE);
    char folder[MAX_PATH];
    const size_t folder_length = name != nullptr ? static_cast<size_t>(name - target) : length;
    std::memcpy(folder, target, folder_length);
    folder[folder_length] = '\0';

    // GetTempFileNameA makes the file itself, under a name no other writer
    // holds, so two saves at once never write into the same file.
    char temporary[MAX_PATH];
    if (GetTempFileNameA(folder, "zav", 0, temporary) == 0) {
        return fail(failure, FileReplaceStep::kCreate, GetLastError());
    }
    const HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary);
        return fail(failure, FileReplaceStep::kCreate, error);
    }
    DWORD error = write_all(file, bytes, count);
    // Closing can be where a network share reports a write it could not do.
    if (!CloseHandle(file) && error == 0) error = GetLastError();
    if (error != 0) {
        DeleteFileA(temporary);
        return fail(failure, FileReplaceStep::kWrite, error);
    }
    if (!MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileA(temporary);
        return fail(failure, FileReplaceStep::kReplace, error);
    }
    return true;
}

}  // namespace zav
