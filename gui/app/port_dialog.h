// The modal port dialog "ComBox".
#pragma once

#include <windows.h>

namespace zav {

// Runs the dialog owned by owner. Every port click sets the selected port
// index at once; returns 1 after OK and 0 after CANCEL (the caller then puts
// the previous index back).
INT_PTR run_port_dialog(HWND owner);

}  // namespace zav
