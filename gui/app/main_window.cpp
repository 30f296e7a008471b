// The main window: computes the layout units, carries the menu, opens the
// child windows and runs the connect command (an identification with the
// '+' worker). UI thread only.
#include "gui/app/main_window.h"

#include <commctrl.h>

#include "gui/app/shell.h"
#include "gui/app/messages.h"
#include "gui/app/port_dialog.h"
#include "gui/link/link.h"
#include "gui/res/resource_ids.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"

namespace zav {

namespace {

// The resource script names the menu ids through res/resource_ids.h.
static_assert(IDM_CONFIGURATION == kMenuConfiguration && IDM_CONNECT == kMenuConnect &&
                  IDM_SETUP == kMenuSetup && IDM_PORT == kMenuPort && IDM_VERSION == kMenuVersion &&
                  IDM_INFO == kMenuInfo,
              "menu ids of the resource script and the code differ");

constexpr int kOuterWidthChars = 73;
constexpr int kOuterHeightLines = 25;

constexpr DWORD kChildWindowStyle = WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;

constexpr const char kCommonControlsMissing[] = "Erforderliche DLL kann nicht geladen werden !";

// Held for the window's lifetime: there is one main window.
struct MainWindowState {
    HDC display;
    HMENU menu;
};

MainWindowState g_main;

void enable_item(UINT id, bool enabled) {
    EnableMenuItem(g_main.menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The menu is what keeps the windows from working against each other; a
// command for a grey item (a posted WM_COMMAND can still bring one) is
// therefore refused as the menu would refuse it.
bool item_enabled(UINT id) {
    const UINT state = GetMenuState(g_main.menu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void enable_setup_item_by_mode() { enable_item(kMenuSetup, g_shared.service_mode != 0); }

HWND create_child_window(HWND parent, const char* class_name, const char* caption) {
    return CreateWindowExA(0, class_name, caption, kChildWindowStyle, 0, 0, 0, 0, parent, nullptr,
                           g_instance, nullptr);
}

void take_layout_units(HWND window) {
    g_main.display = GetDC(window);
    SelectObject(g_main.display, GetStockObject(SYSTEM_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(g_main.display, &metrics);
    g_shared.line_height = metrics.tmHeight + metrics.tmExternalLeading;
    g_shared.char_width = metrics.tmAveCharWidth;
}

// The configuration window's progress bar needs the common controls; without
// them the program cannot do its work and closes itself.
void require_common_controls(HWND window) {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    if (!InitCommonControlsEx(&controls)) {
        show_error(window, kCommonControlsMissing, kCaptionConfigurationForm);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

LRESULT OnCreate(HWND window, WPARAM wparam, LPARAM lparam) {
    const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    g_instance = create->hInstance;
    g_shared.main_window = window;
    take_layout_units(window);
    MoveWindow(window, 0, 0, kOuterWidthChars * g_shared.char_width,
               kOuterHeightLines * g_shared.line_height, FALSE);
    require_common_controls(window);
    g_main.menu = GetMenu(window);
    enable_setup_item_by_mode();
    enable_item(kMenuConfiguration, false);
    return DefWindowProcA(window, WM_CREATE, wparam, lparam);
}

LRESULT OnSize(LPARAM lparam) {
    g_shared.main_client_width = LOWORD(lparam);
    g_shared.main_client_height = HIWORD(lparam);
    return 0;
}

void OnOpenConfiguration(HWND window) {
    g_shared.requesting_window = create_child_window(window, kConfigWindowClass, "ZAV-Konfig");
}

void OnOpenSetup(HWND window) {
    g_shared.requesting_window = create_child_window(window, kSetupWindowClass, "ZAV-Setup");
}

void OnConnect(HWND window) {
    g_shared.requesting_window = window;
    g_shared.device_data_valid = 0;
    if (!start_transaction(window, kIdentifyCommand, 0)) return;
    enable_item(kMenuConfiguration, false);
    enable_item(kMenuSetup, false);
    enable_item(kMenuConnect, false);
}

void OnChoosePort(HWND window) {
    const int32_t previous = g_shared.selected_port;
    if (run_port_dialog(window) == 0) g_shared.selected_port = previous;
}

void OnVersion(HWND window) { show_info(window, kVersionText, kCaptionConfiguration); }

void OnOpenInfo(HWND window) {
    if (!g_shared.device_data_valid) {
        show_error(window, kNoInfo, kCaptionInfo);
        return;
    }
    g_shared.info_window = create_child_window(window, kInfoWindowClass, "ZAV-Info");
}

LRESULT OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
    const UINT id = LOWORD(wparam);
    if (lparam != 0 || !item_enabled(id)) return DefWindowProcA(window, WM_COMMAND, wparam, lparam);
    switch (id) {
        case kMenuConfiguration: OnOpenConfiguration(window); break;
        case kMenuConnect: OnConnect(window); break;
        case kMenuSetup: OnOpenSetup(window); break;
        case kMenuPort: OnChoosePort(window); break;
        case kMenuVersion: OnVersion(window); break;
        case kMenuInfo: OnOpenInfo(window); break;
        default: return DefWindowProcA(window, WM_COMMAND, wparam, lparam);
    }
    return 0;
}

// The device counts only once the user has seen it recognised.
void report_connect(HWND window, uint32_t result) {
    switch (judge_connect(result, g_image)) {
        case ConnectOutcome::kNotFound:
            show_error(window, kNoDeviceFound, kCaptionConnect);
            break;
        case ConnectOutcome::kSetupInvalid:
            show_error(window, kSetupDataInvalid, kCaptionConnect);
            break;
        case ConnectOutcome::kVersionRejected: {
            char text[kVersionMessageBytes];
            format_version_rejected(g_image, text, sizeof text);
            show_error(window, text, kCaptionConnect);
            break;
        }
        case ConnectOutcome::kRecognised:
            show_info(window, kDeviceRecognised, kCaptionConnect);
            g_shared.device_data_valid = 1;
            enable_item(kMenuConfiguration, true);
            if (g_shared.info_window_open) {
                PostMessageA(static_cast<HWND>(g_shared.info_window), WM_USER, 0, 0);
            }
            break;
        case ConnectOutcome::kNothing:
            break;
    }
}

// The end of the connect's identification. Only a transaction this window
// started counts: a late or stray end message must not stop another
// window's link or report an outcome twice.
LRESULT OnIdentificationEnd(HWND window, WPARAM wparam, LPARAM lparam) {
    if (transaction_outstanding_for(window)) {
        port_stop();
        enable_setup_item_by_mode();
        enable_item(kMenuConnect, true);
        g_shared.device_data_valid = 0;
        report_connect(window, static_cast<uint32_t>(wparam));
    }
    return DefWindowProcA(window, kEndMessage, wparam, lparam);
}

LRESULT OnDestroy(HWND window) {
    ReleaseDC(window, g_main.display);
    g_main.display = nullptr;
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window, wparam, lparam);
        case WM_SIZE:
            return OnSize(lparam);
        case WM_COMMAND:
            return OnCommand(window, wparam, lparam);
        case WM_DESTROY:
            return OnDestroy(window);
        case kEndMessage:
            return OnIdentificationEnd(window, wparam, lparam);
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace zav
