#include "cli/platform/durable_append.h"

#include <windows.h>

#include "cli/platform/win32/windows_error_text.h"

namespace zav::cli {

namespace {

bool move_to(HANDLE file, LARGE_INTEGER offset) { return SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) != 0; }

}  // namespace

AppendResult append_durably(const std::string& path, const std::string& bytes, std::string& error,
                            size_t* part_left) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "ist ein Ordner";
        return AppendResult::kNotWritten;
    }
    // Writing, not only appending: a failed write must be cut back, which
    // SetEndOfFile allows only with write access. No other process may
    // write meanwhile (share mode read only), so the end found now is where
    // the new bytes begin.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = windows_error_text(GetLastError());
        return AppendResult::kNotWritten;
    }
    LARGE_INTEGER end;
    if (!GetFileSizeEx(file, &end) || !move_to(file, end)) {
        error = windows_error_text(GetLastError());
        CloseHandle(file);
        return AppendResult::kNotWritten;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
    DWORD failure = GetLastError();
    if (ok && written != bytes.size()) {
        ok = false;
        failure = ERROR_DISK_FULL;
    }
    if (ok && !FlushFileBuffers(file)) {
        ok = false;
        failure = GetLastError();
    }
    if (!ok) {
        error = windows_error_text(failure);
        const bool cut_back = move_to(file, end) && SetEndOfFile(file) && FlushFileBuffers(file);
        CloseHandle(file);
        if (cut_back || written == 0) return AppendResult::kNotWritten;
        if (part_left != nullptr) *part_left = written;
        return AppendResult::kPartLeft;
    }
    if (!CloseHandle(file)) {
        // The bytes were flushed; the tool says that the end was not
        // confirmed rather than vouch for it.
        error = windows_error_text(GetLastError());
        return bytes.empty() ? AppendResult::kNotWritten : AppendResult::kUnconfirmed;
    }
    return AppendResult::kWritten;
}

}  // namespace zav::cli
