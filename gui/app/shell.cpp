// Helpers the windows share on the UI thread: the menu, message boxes and
// the start of a device transaction.
#include "gui/app/shell.h"

#include "gui/app/main_window.h"
#include "gui/app/messages.h"
#include "core/link/port_names.h"
#include "gui/link/link_threads.h"
#include "gui/link/link.h"

namespace zav {

HMENU main_menu() { return GetMenu(static_cast<HWND>(g_shared.main_window)); }

void enable_menu_item(UINT id, bool enabled) {
    EnableMenuItem(main_menu(), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void show_error(HWND owner, const char* text, const char* caption) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONERROR);
}

void show_info(HWND owner, const char* text, const char* caption) {
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

bool start_transaction(HWND owner, uint8_t command, uint8_t block_length) {
    g_shared.transaction_state = 0;
    if (!port_open()) {
        // The plain name, as the user chose it, not the device path opened.
        char text[64];
        wsprintfA(text, kPortOpenFailed, port_name(g_shared.selected_port));
        show_error(owner, text, kCaptionSetup);
        return false;
    }
    g_command.command = command;
    g_command.block_length = block_length;
    g_shared.transaction_running = 1;
    if (!start_worker_thread()) {
        g_shared.transaction_running = 0;
        port_stop();
        show_error(owner, kProgramStartFailed, kCaptionSetup);
        return false;
    }
    return true;
}

bool editor_window_open() {
    const HWND window = static_cast<HWND>(g_shared.requesting_window);
    if (window == nullptr || !IsWindow(window)) return false;
    // The main window is the requesting window during its own connect; only
    // the two editor classes count here.
    char class_name[16];
    if (GetClassNameA(window, class_name, sizeof class_name) == 0) return false;
    return lstrcmpA(class_name, kConfigWindowClass) == 0 ||
           lstrcmpA(class_name, kSetupWindowClass) == 0;
}

bool transaction_outstanding_for(HWND window) {
    return window != nullptr && g_shared.transaction_running != 0 &&
           worker_report_window() == window;
}

}  // namespace zav
