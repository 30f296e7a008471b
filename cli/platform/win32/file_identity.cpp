#include "cli/platform/file_identity.h"

#include <windows.h>

namespace zav::cli {

namespace {

// The file's identity, read through a handle that asks for no access, so
// that a file another program holds open can still be looked at.
bool identity_of(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool same_file(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    if (!identity_of(first, a) || !identity_of(second, b)) return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace zav::cli
