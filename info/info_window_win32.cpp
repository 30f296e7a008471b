// Placeholder until the window is built.
#include "info/info_window_win32.h"

namespace zav {

LRESULT CALLBACK InfoWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace zav
