#include "cli/platform/new_file.h"

#include <windows.h>

#include "cli/platform/win32/windows_error_text.h"

namespace zav::cli {

namespace {

class Win32NewFile final : public NewFile {
public:
    explicit Win32NewFile(HANDLE file) : file_(file) {}
    ~Win32NewFile() override {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }

    bool write(const std::string& bytes, std::string& error) override {
        const char* next = bytes.data();
        size_t left = bytes.size();
        while (left > 0) {
            const DWORD piece = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(file_, next, piece, &written, nullptr) || written == 0) {
                error = windows_error_text(GetLastError());
                return false;
            }
            next += written;
            left -= written;
        }
        return true;
    }

    bool close(std::string& error) override {
        bool ok = FlushFileBuffers(file_) != 0;
        DWORD failed = ok ? 0 : GetLastError();
        if (!CloseHandle(file_) && ok) {
            ok = false;
            failed = GetLastError();
        }
        file_ = INVALID_HANDLE_VALUE;
        if (!ok) error = windows_error_text(failed);
        return ok;
    }

private:
    HANDLE file_;
};

}  // namespace

std::unique_ptr<NewFile> create_new_file(const std::string& path, bool& exists, std::string& error) {
    exists = false;
    // Others may read the trace while it grows (a technician watching it).
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failed = GetLastError();
        exists = failed == ERROR_FILE_EXISTS || failed == ERROR_ALREADY_EXISTS;
        error = windows_error_text(failed);
        return nullptr;
    }
    return std::make_unique<Win32NewFile>(file);
}

}  // namespace zav::cli
