#include "cli/file_replace.h"

#include <windows.h>

#include "cli/win32/windows_error_text.h"

namespace zav::cli {

bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error) {
    const std::string temporary = path + ".zavctl-neu";
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = windows_error_text(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count &&
                    FlushFileBuffers(file);
    const DWORD write_error = GetLastError();
    CloseHandle(file);
    if (!ok || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = windows_error_text(ok ? GetLastError() : write_error);
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zav::cli
