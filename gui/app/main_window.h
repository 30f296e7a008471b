// The main window (class "ZAV_DSP"): the menu, the layout units and the
// connect command.
#pragma once

#include <windows.h>

namespace zav {

// Window class names, registered at start-up.
constexpr const char kMainWindowClass[] = "ZAV_DSP";
constexpr const char kConfigWindowClass[] = "Konfig";
constexpr const char kSetupWindowClass[] = "Setup";
constexpr const char kInfoWindowClass[] = "Display";

constexpr const char kMainWindowCaption[] = "ZAV-Konfiguration";
constexpr int kMainWindowCreateWidth = 370;
constexpr int kMainWindowCreateHeight = 350;
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace zav
