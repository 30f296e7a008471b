#include "cli/platform/answer.h"

#include <windows.h>

#include "cli/platform/interrupt.h"

namespace zav::cli {

bool input_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// The console hands over the line once Enter is pressed; Ctrl+C ends the
// read with nothing read, while the handler counts it on its own thread.
bool read_answer(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string text;
    for (;;) {
        if (interrupt_count() > 0) return false;
        char buffer[256];
        DWORD read = 0;
        if (!ReadConsoleA(input, buffer, sizeof buffer, &read, nullptr)) return false;
        // Nothing read: Ctrl+C (counted on the handler's thread), or the
        // end of the input.
        if (read == 0) return false;
        text.append(buffer, read);
        const size_t end = text.find('\n');
        if (end == std::string::npos) continue;
        text.erase(end);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        line = text;
        return true;
    }
}

}  // namespace zav::cli
