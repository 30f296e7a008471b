// The info window (class "Display").
#pragma once

#include <windows.h>

namespace zav {

LRESULT CALLBACK InfoWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace zav
