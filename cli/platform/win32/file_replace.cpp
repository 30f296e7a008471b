#include "cli/platform/file_replace.h"

#include <windows.h>

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

}  // namespace zav::cli
