// The info window (class "Display"): a read-only list of what the identified
// device's setup block says about it.
//
// Thread ownership: UI thread only. The list is rebuilt on the refresh
// request (WM_USER, both parameters 0), which the window posts to itself at
// creation and the main window posts after an identification that it
// accepted; both arrive after the identification worker stored the block.
#include "gui/info/info_window.h"

#include "gui/app/shell.h"
#include "core/info/info_text.h"

namespace zav {
namespace {

constexpr int kListBoxId = -1;
constexpr int kOuterWidthChars = 18;
constexpr int kOuterHeightLines = 14;

// Held by this window alone: there is at most one info window.
struct InfoWindowState {
    HWND list;
    int client_width;
    int client_height;
};

InfoWindowState g_info;

// Emptying the list first keeps a second refresh from duplicating the lines.
void fill_list(HWND list) {
    static InfoText text;  // fixed buffer, UI thread only
    build_info_text(g_image, text);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int line = 0; line < text.line_count; ++line) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.lines[line]));
    }
}

// Items 21 and 23 may be grey for reasons other than this window: an open
// configuration or setup window, or a connect still running. Only when none
// of those holds do they come back.
bool configuration_commands_free() {
    return !editor_window_open() && g_shared.transaction_running == 0 && g_shared.link_open == 0;
}

LRESULT OnCreate(HWND window) {
    enable_menu_item(kMenuInfo, false);
    enable_menu_item(kMenuConfiguration, false);
    enable_menu_item(kMenuSetup, false);
    // Moving the window delivers its WM_SIZE, so the client size is known
    // when the list box is made to fill it.
    MoveWindow(window, g_shared.main_client_width / 2, g_shared.main_client_height / 3,
               kOuterWidthChars * g_shared.char_width, kOuterHeightLines * g_shared.line_height,
               FALSE);
    g_info.list = CreateWindowExA(0, "listbox", nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL,
                                  0, 0, g_info.client_width, g_info.client_height, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListBoxId)),
                                  g_instance, nullptr);
    PostMessageA(window, WM_USER, 0, 0);
    g_shared.info_window_open = 1;
    return 0;
}

LRESULT OnSize(HWND window, WPARAM wparam, LPARAM lparam) {
    g_info.client_width = LOWORD(lparam);
    g_info.client_height = HIWORD(lparam);
    return DefWindowProcA(window, WM_SIZE, wparam, lparam);
}

LRESULT OnRefresh() {
    fill_list(g_info.list);
    return 0;
}

LRESULT OnClose(HWND window) {
    enable_menu_item(kMenuInfo, true);
    if (g_shared.device_data_valid && configuration_commands_free()) {
        enable_menu_item(kMenuConfiguration, true);
    }
    if (g_shared.service_mode && configuration_commands_free()) {
        enable_menu_item(kMenuSetup, true);
    }
    g_shared.info_window_open = 0;
    DestroyWindow(window);
    return 0;
}

}  // namespace

LRESULT CALLBACK InfoWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_SIZE:
            return OnSize(window, wparam, lparam);
        case WM_USER:
            return OnRefresh();
        case WM_CLOSE:
            return OnClose(window);
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace zav
