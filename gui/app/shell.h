// What the windows of the program share on the UI thread: the menu rules,
// message boxes and the start of a transaction.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gui/instances.h"

namespace zav {

// Menu command ids of "Menue_LUM2".
constexpr UINT kMenuConfiguration = 21;
constexpr UINT kMenuConnect = 22;
constexpr UINT kMenuSetup = 23;
constexpr UINT kMenuPort = 30;
constexpr UINT kMenuVersion = 40;
constexpr UINT kMenuInfo = 41;

// The main window's menu, for the child windows that grey and restore items.
HMENU main_menu();
void enable_menu_item(UINT id, bool enabled);

// Modal boxes with an OK button, owned by the window concerned.
void show_error(HWND owner, const char* text, const char* caption);
void show_info(HWND owner, const char* text, const char* caption);

// Starts a worker for the requesting window (already set): transaction
// state 0, port-open, command record, running flag, thread. Shows the
// port or thread failure with caption "ZAV-Setup" and returns false then.
bool start_transaction(HWND owner, uint8_t command, uint8_t block_length);

// True while the configuration or the setup window exists (they are the
// requesting window for as long as they live).
bool editor_window_open();

// True while a transaction that window started is outstanding: only then do
// its progress and end messages mean anything to it.
bool transaction_outstanding_for(HWND window);

}  // namespace zav
