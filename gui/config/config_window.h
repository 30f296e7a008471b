// The configuration window (class "Konfig").
#pragma once

#include <windows.h>

namespace zav {

LRESULT CALLBACK ConfigWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace zav
