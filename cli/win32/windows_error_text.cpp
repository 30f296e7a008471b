#include "cli/win32/windows_error_text.h"

namespace zav::cli {

std::string windows_error_text(DWORD error) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                          text[length - 1] == '.')) {
        --length;
    }
    if (length == 0) return "Systemfehler " + std::to_string(error);
    return std::string(text, length);
}

}  // namespace zav::cli
