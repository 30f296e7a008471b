// Placeholder until the window is built.
#include "setup/setup_window_win32.h"

namespace zav {

LRESULT CALLBACK SetupWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace zav
