#include "cli/file_replace.h"

#include <windows.h>

namespace zav::cli {

namespace {

std::string system_message(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "Fehler " + std::to_string(code) : message;
}

}  // namespace

bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error) {
    const std::string temporary = path + ".zavctl-neu";
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = system_message(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count &&
                    FlushFileBuffers(file);
    const DWORD write_error = GetLastError();
    CloseHandle(file);
    if (!ok || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = system_message(ok ? GetLastError() : write_error);
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zav::cli
