// The service-mode setup window (class "Setup"): sixteen check boxes in six
// framed groups that stand for the setup block's options, and two commands,
// "Lesen" (identify and show the device's block) and "Programmieren"
// (compose a block from the options and write it to the device).
//
// Thread ownership: everything here runs on the UI thread. The window hands
// the setup block to a worker only through the image: it composes the block
// before the '*' worker starts and reads it only after the '+' worker's end
// message. The main window made this window the requesting window when it
// created it, so the workers started here report to it.
#include "gui/setup/setup_window.h"

#include <cstdint>

#include "gui/app/shell.h"
#include "gui/app/messages.h"
#include "gui/link/link.h"
#include "core/link/worker.h"
#include "core/setup/setup_block.h"
#include "core/setup/setup_commands.h"

namespace zav {
namespace {

constexpr int kReadButton = 16;
constexpr int kProgramButton = 17;
constexpr int kControlCount = 18;
constexpr int kNoControlId = -1;

// Positions are written as numerator and denominator of a layout unit so
// that every term is truncated exactly once, after the multiplication.
struct Term {
    int factor;
    int divisor;
};

struct GroupBoxLayout {
    const char* text;
    Term x;   // in character widths
    Term y;   // in line heights, or pixels when y_in_pixels
    bool y_in_pixels;
    int width;   // character widths
    int height;  // line heights
};

struct OptionLayout {
    Term x;      // character widths
    int y_quarters;  // quarter line heights
    int width;   // character widths
};

// In creation order; group g is followed by its options.
const GroupBoxLayout kGroupBoxes[kSetupGroupCount] = {
    {"Doppelton", {1, 2}, {5, 1}, true, 26, 9},
    {"Adressen", {28, 1}, {5, 1}, true, 14, 9},
    {"Zusatzrelais", {44, 1}, {5, 1}, true, 14, 9},
    {"DT-Satz", {1, 2}, {10, 1}, false, 26, 5},
    {"DT-Dauer", {1, 2}, {31, 2}, false, 26, 5},
    {"Ton-Dauer", {28, 1}, {10, 1}, false, 26, 5},
};

const OptionLayout kOptions[kSetupOptionCount] = {
    {{2, 1}, 6, 23},  {{2, 1}, 12, 23}, {{2, 1}, 18, 23}, {{2, 1}, 24, 23}, {{2, 1}, 30, 23},
    {{59, 2}, 6, 10}, {{59, 2}, 12, 10},
    {{91, 2}, 6, 10}, {{91, 2}, 12, 10}, {{91, 2}, 18, 10},
    {{2, 1}, 46, 12}, {{2, 1}, 52, 12},
    {{2, 1}, 68, 12}, {{2, 1}, 74, 12},
    {{29, 1}, 46, 12}, {{29, 1}, 52, 12},
};

struct ButtonLayout {
    const char* text;
    int x;  // character widths
};

const ButtonLayout kButtons[2] = {{"Lesen", 30}, {"Programmieren", 48}};

// Held by this window alone: there is at most one setup window.
struct SetupWindowState {
    HWND controls[kControlCount];
};

SetupWindowState g_setup;

int scaled(Term term, int unit) { return term.factor * unit / term.divisor; }

HWND create_button(HWND window, const char* text, DWORD style, int x, int y, int width,
                   int height, int id) {
    return CreateWindowExA(0, "button", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance,
                           nullptr);
}

void create_controls(HWND window) {
    const int w = g_shared.char_width;
    const int h = g_shared.line_height;
    for (int g = 0; g < kSetupGroupCount; ++g) {
        const GroupBoxLayout& box = kGroupBoxes[g];
        const int y = box.y_in_pixels ? box.y.factor : scaled(box.y, h);
        create_button(window, box.text, BS_GROUPBOX | BS_CENTER, scaled(box.x, w), y,
                      box.width * w, box.height * h, kNoControlId);
        const SetupGroup& group = kSetupGroups[g];
        for (int id = group.first_option; id <= group.last_option; ++id) {
            const OptionLayout& option = kOptions[id];
            g_setup.controls[id] =
                create_button(window, kSetupOptionTexts[id], BS_CHECKBOX, scaled(option.x, w),
                              option.y_quarters * h / 4, option.width * w, 5 * h / 4, id);
        }
    }
    for (int b = 0; b < 2; ++b) {
        const int id = kReadButton + b;
        g_setup.controls[id] = create_button(window, kButtons[b].text, BS_DEFPUSHBUTTON,
                                             kButtons[b].x * w, 17 * h, 14 * w, 7 * h / 4, id);
    }
}

bool option_checked(int id) {
    return SendMessageA(g_setup.controls[id], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void set_option(int id, bool checked) {
    SendMessageA(g_setup.controls[id], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void enable_buttons(bool enabled) {
    for (int id = kReadButton; id <= kProgramButton; ++id) {
        EnableWindow(g_setup.controls[id], enabled ? TRUE : FALSE);
    }
}

void show_options(const bool* chosen) {
    for (int id = 0; id < kSetupOptionCount; ++id) set_option(id, chosen[id]);
}

void on_option_clicked(int id) {
    bool chosen[kSetupOptionCount];
    for (int n = 0; n < kSetupOptionCount; ++n) chosen[n] = option_checked(n);
    click_setup_option(chosen, id);
    show_options(chosen);
}

// "Lesen": the device's block arrives through an identification.
void on_read(HWND window) {
    g_shared.device_data_valid = 0;
    if (!start_transaction(window, kIdentifyCommand, 0)) return;
    enable_buttons(false);
}

// "Programmieren": a block that leaves a group unanswered never reaches the
// device, and the block in memory stays as it was.
void on_program(HWND window) {
    g_shared.device_data_valid = 0;
    bool chosen[kSetupOptionCount];
    for (int id = 0; id < kSetupOptionCount; ++id) chosen[id] = option_checked(id);
    const int error = compose_setup_block(chosen, &g_image.bytes[kSetupBlock]);
    if (error != 0) {
        show_error(window, setup_compose_error_text(error), kCaptionSetupForm);
        return;
    }
    if (!start_transaction(window, kSetupWriteCommand, 0)) return;
    enable_buttons(false);
}

void on_block_read(HWND window) {
    bool chosen[kSetupOptionCount];
    decompose_setup_block(&g_image.bytes[kSetupBlock], chosen);
    show_options(chosen);
    show_info(window, kSetupRead, kCaptionSetup);
    g_shared.device_data_valid = 1;
}

LRESULT OnCreate(HWND window) {
    enable_menu_item(kMenuConfiguration, false);
    enable_menu_item(kMenuSetup, false);
    enable_menu_item(kMenuConnect, false);
    MoveWindow(window, 0, 0, g_shared.main_client_width, g_shared.main_client_height, FALSE);
    create_controls(window);
    return 0;
}

LRESULT OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    if (id < kSetupOptionCount) {
        on_option_clicked(id);
    } else if (id == kReadButton) {
        on_read(window);
    } else if (id == kProgramButton) {
        on_program(window);
    }
    return DefWindowProcA(window, WM_COMMAND, wparam, lparam);
}

// An end message is only meaningful while a transaction of this window is
// outstanding; a stray or late one (after the window stopped the link) must
// neither stop a link it does not own nor report an outcome twice.
LRESULT OnTransactionEnd(HWND window, WPARAM wparam, LPARAM lparam) {
    if (transaction_outstanding_for(window)) {
        port_stop();
        enable_buttons(true);
        switch (judge_setup_end(static_cast<uint32_t>(wparam), g_image)) {
            case SetupEnd::kConnectionLost:
                show_error(window, kConnectionLost, kCaptionSetup);
                break;
            case SetupEnd::kRefused:
                show_error(window, kSetupRefused, kCaptionSetup);
                break;
            case SetupEnd::kWritten:
                show_info(window, kProgrammingDone, kCaptionSetup);
                g_shared.device_data_valid = 1;
                break;
            case SetupEnd::kBlockInvalid:
                show_error(window, kSetupDataInvalid, kCaptionSetup);
                break;
            case SetupEnd::kBlockRead:
                on_block_read(window);
                break;
            case SetupEnd::kNothing:
                break;
        }
    }
    return DefWindowProcA(window, kEndMessage, wparam, lparam);
}

LRESULT OnClose(HWND window) {
    port_stop();
    DestroyWindow(window);
    if (g_shared.device_data_valid) enable_menu_item(kMenuConfiguration, true);
    enable_menu_item(kMenuSetup, true);
    enable_menu_item(kMenuConnect, true);
    return 0;
}

}  // namespace

LRESULT CALLBACK SetupWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_COMMAND:
            return OnCommand(window, wparam, lparam);
        case kEndMessage:
            return OnTransactionEnd(window, wparam, lparam);
        case WM_CLOSE:
            return OnClose(window);
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace zav
