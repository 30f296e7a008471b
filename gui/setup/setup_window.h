// The service-mode setup window (class "Setup").
#pragma once

#include <windows.h>

namespace zav {

LRESULT CALLBACK SetupWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace zav
