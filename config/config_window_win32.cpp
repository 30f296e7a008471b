// Placeholder until the window is built.
#include "config/config_window_win32.h"

namespace zav {

LRESULT CALLBACK ConfigWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace zav
