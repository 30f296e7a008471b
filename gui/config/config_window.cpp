// The configuration window (class "Konfig"): the fields of the alarm
// configuration, the relay row, five command buttons and a progress bar.
//
// The window holds no configuration logic of its own. Every notification is
// answered the same way: copy the controls into the form, let the form model
// decide, show what it changed. The commands live in file_commands.cpp
// (file) and device_commands.cpp (device).
//
// Thread ownership: UI thread only. Workers report through the progress and
// end messages, which arrive here because the main window made this window
// the requesting window when it created it.
#include "gui/config/config_window.h"

#include <commctrl.h>

#include "gui/app/shell.h"
#include "gui/app/messages.h"
#include "gui/config/config_window_parts.h"
#include "gui/link/link.h"
#include "core/link/worker.h"

namespace zav {

ConfigWindowState g_config_state;
ConfigForm g_config_form;

namespace {

constexpr int kFocusControlCount = 18;   // ids 0..17 take part in the Tab cycle
constexpr int kControlCount = 19;        // plus the progress bar
constexpr int kNoId = -1;                // statics and group boxes
constexpr int kCreationProgressRange = 4;

// A length in layout units: whole units plus a fraction of one unit, the
// fraction truncated after the multiplication (7/6 lh is 7 * lh / 6). A
// length in pixels ignores the unit.
struct Length {
    int whole;
    int numerator;
    int denominator;
    bool pixels;
};

constexpr Length units(int n) { return {n, 0, 1, false}; }
constexpr Length fraction(int numerator, int denominator) { return {0, numerator, denominator, false}; }
constexpr Length units_plus(int n, int numerator, int denominator) {
    return {n, numerator, denominator, false};
}
constexpr Length pixels(int n) { return {n, 0, 1, true}; }

int to_pixels(Length length, int unit) {
    if (length.pixels) return length.whole;
    return length.whole * unit + length.numerator * unit / length.denominator;
}

enum class Kind : uint8_t { kStatic, kGroup, kDropList, kEdit, kDigitEdit, kCodingEdit, kButton, kProgress };

struct ControlLayout {
    Kind kind;
    const char* text;
    int id;
    Length x;       // character widths
    Length y;       // line heights (or pixels)
    Length width;   // character widths
    Length height;  // line heights
};

constexpr Length kFieldHeight = fraction(7, 6);
constexpr Length kButtonHeight = fraction(7, 4);

// In creation order: later controls lie above earlier ones, and the group
// boxes come after the controls they frame so that they do not hide them.
const ControlLayout kLayout[] = {
    {Kind::kStatic, "Doppel-Ton", kNoId, units(1), units(2), units(15), kFieldHeight},
    {Kind::kStatic, "Codierung", kNoId, units(1), units(4), units(15), kFieldHeight},
    {Kind::kStatic, "Totzeit", kNoId, units(1), units(6), units(15), kFieldHeight},
    {Kind::kStatic, "Alarmpause", kNoId, units(1), units(8), units(15), kFieldHeight},
    {Kind::kStatic, "Alarmspeicher", kNoId, units(1), units(10), units(15), kFieldHeight},
    {Kind::kGroup, "Alarme", kNoId, fraction(1, 2), pixels(5), units(28), fraction(23, 2)},
    {Kind::kDropList, "", kIdAlarmSelector, units(11), units(2), units(16), units(10)},
    {Kind::kCodingEdit, "", kIdCoding, units(11), units(4), units(16), kFieldHeight},
    {Kind::kDigitEdit, "", kIdDeadTime, units(11), units(6), units(4), kFieldHeight},
    {Kind::kDigitEdit, "", kIdAlarmPause, units(11), units(8), units(4), kFieldHeight},
    {Kind::kDropList, "", kIdAlarmMemory, units(14), units(10), units(4), units(10)},
    {Kind::kStatic, "Sekunden", kNoId, units(17), units(6), units(9), kFieldHeight},
    {Kind::kStatic, "Sekunden", kNoId, units(17), units(8), units(9), kFieldHeight},
    {Kind::kStatic, "Anzahl-5Ton", kNoId, units(30), units(2), units(10), kFieldHeight},
    {Kind::kStatic, "Nummer", kNoId, units(30), units(4), units(10), kFieldHeight},
    {Kind::kStatic, "5-Ton", kNoId, units(30), units(6), units(10), kFieldHeight},
    {Kind::kStatic, "Hand", kNoId, units(30), units(8), units(10), kFieldHeight},
    {Kind::kEdit, "", kIdFiveToneCount, units(41), units(2), units(3), kFieldHeight},
    {Kind::kDropList, "", kIdNumber, units(41), units(4), units(5), units(21)},
    {Kind::kEdit, "", kIdFiveTone, units(41), units(6), units(7), kFieldHeight},
    {Kind::kDropList, "", kIdManual, units(35), units(8), units(16), units(10)},
    {Kind::kGroup, "Adressen", kNoId, fraction(59, 2), pixels(5), units(23), fraction(23, 2)},
    {Kind::kStatic, "Relais", kNoId, units(1), units(14), units(8), kFieldHeight},
    {Kind::kStatic, "5-Ton", kNoId, units(13), units(14), units(8), kFieldHeight},
    {Kind::kStatic, "Doppel-Ton", kNoId, units(25), units(14), units(11), kFieldHeight},
    {Kind::kStatic, "Ein-Zeit", kNoId, units(52), units(14), units(8), kFieldHeight},
    {Kind::kStatic, "s", kNoId, units(64), units(14), units(8), kFieldHeight},
    {Kind::kDropList, "", kIdRelaySelector, units(7), units(14), units(4), units(6)},
    {Kind::kDropList, "", kIdRelayFiveTone, units(18), units(14), units(7), units(15)},
    {Kind::kDropList, "", kIdRelayDoubleTone, units(35), units(14), units(16), units(15)},
    {Kind::kEdit, "0", kIdOnTime, units(59), units(14), units(4), kFieldHeight},
    {Kind::kGroup, "Zusatzrelais", kNoId, fraction(1, 2), fraction(25, 2), units(66), units(4)},
    {Kind::kButton, "Laden", kIdLoad, units(55), units(1), units(14), kButtonHeight},
    {Kind::kButton, "Sichern", kIdSave, units(55), units_plus(1, 11, 5), units(14), kButtonHeight},
    {Kind::kButton, "Lesen", kIdRead, units(55), units_plus(1, 22, 5), units(14), kButtonHeight},
    {Kind::kButton, "Verifizieren", kIdVerify, units(55), units_plus(1, 33, 5), units(14), kButtonHeight},
    {Kind::kButton, "Programmieren", kIdProgram, units(55), units_plus(1, 44, 5), units(14), kButtonHeight},
    {Kind::kProgress, "", kIdProgress, units(1), units(17), units(66), fraction(3, 2)},
};

struct KindClass {
    const char* class_name;
    DWORD style;
};

KindClass class_of(Kind kind) {
    switch (kind) {
        case Kind::kStatic: return {"static", SS_LEFT};
        case Kind::kGroup: return {"button", BS_GROUPBOX | BS_CENTER};
        case Kind::kDropList: return {"combobox", CBS_DROPDOWNLIST};
        case Kind::kEdit: return {"edit", WS_BORDER | WS_TABSTOP};
        case Kind::kDigitEdit: return {"edit", WS_BORDER | WS_TABSTOP | ES_NUMBER};
        case Kind::kCodingEdit: return {"edit", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL};
        case Kind::kButton: return {"button", BS_DEFPUSHBUTTON};
        case Kind::kProgress: return {PROGRESS_CLASSA, 0};
    }
    return {"static", 0};
}

// The window's own handles; null while it is closed.
struct ConfigWindowHandles {
    HWND controls[kControlCount];
    WNDPROC previous_procedures[kFocusControlCount];
};

ConfigWindowHandles g_handles;

LRESULT send(int id, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(g_handles.controls[id], message, wparam, lparam);
}

// ---- controls <-> form -------------------------------------------------

void get_text(int id, char* text, int bytes) {
    text[0] = '\0';
    GetWindowTextA(g_handles.controls[id], text, bytes);
}

int selection(int id) { return static_cast<int>(send(id, CB_GETCURSEL, 0, 0)); }

void select(int id, int position) { send(id, CB_SETCURSEL, static_cast<WPARAM>(position), 0); }

void add_item(int id, const char* text) {
    send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// Fills a list with the items the form logic names for it.
void fill_list(int id) {
    send(id, CB_RESETCONTENT, 0, 0);
    const int items = list_item_count(g_config_state, g_config_form, id);
    for (int p = 0; p < items; ++p) add_item(id, list_item_text(g_config_state, g_config_form, id, p));
}

// ---- creation ----------------------------------------------------------

void create_controls(HWND window) {
    const int cw = g_shared.char_width;
    const int lh = g_shared.line_height;
    for (const ControlLayout& layout : kLayout) {
        const KindClass kind = class_of(layout.kind);
        const int id = layout.id;
        const HMENU menu_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
        HWND control = CreateWindowExA(0, kind.class_name, layout.text, WS_CHILD | WS_VISIBLE | kind.style,
                                       to_pixels(layout.x, cw), to_pixels(layout.y, lh),
                                       to_pixels(layout.width, cw), to_pixels(layout.height, lh), window,
                                       menu_id, g_instance, nullptr);
        if (id >= 0 && id < kControlCount) g_handles.controls[id] = control;
    }
}

void fill_fixed_lists() {
    const int fixed_lists[] = {kIdAlarmSelector, kIdAlarmMemory,   kIdManual,
                               kIdRelaySelector, kIdRelayFiveTone, kIdRelayDoubleTone};
    for (int id : fixed_lists) fill_list(id);
}

// The control after id in the Tab cycle. A disabled one (the relay
// double-tone choice without a 5-tone trigger, the buttons during a
// transaction) cannot take the focus, and stopping at it would trap the
// keyboard in front of it: it is passed over.
HWND next_focus_control(int id) {
    for (int step = 1; step < kFocusControlCount; ++step) {
        HWND next = g_handles.controls[(id + step) % kFocusControlCount];
        if (IsWindowEnabled(next)) return next;
    }
    return g_handles.controls[id];
}

// The focus-handling procedure of the 18 fields and buttons. The program's
// message loop has no dialog navigation, so Tab is done here: forward to the
// next id, from the last back to the first, with or without Shift.
LRESULT CALLBACK FocusHandlingProcedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    const int id = GetDlgCtrlID(control);
    if (id < 0 || id >= kFocusControlCount || g_handles.previous_procedures[id] == nullptr) {
        return DefWindowProcA(control, message, wparam, lparam);
    }
    if (message == WM_KEYDOWN && wparam == VK_TAB) {
        SetFocus(next_focus_control(id));
    } else if (message == WM_LBUTTONDOWN && wparam == MK_LBUTTON) {
        SetFocus(control);
    }
    return CallWindowProcA(g_handles.previous_procedures[id], control, message, wparam, lparam);
}

void install_focus_handling() {
    for (int id = 0; id < kFocusControlCount; ++id) {
        g_handles.previous_procedures[id] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            g_handles.controls[id], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FocusHandlingProcedure)));
    }
}

LRESULT OnCreate(HWND window) {
    enable_menu_item(kMenuConfiguration, false);
    enable_menu_item(kMenuSetup, false);
    enable_menu_item(kMenuConnect, false);
    set_up_config_window_state(g_config_state, g_image.bytes[kSetupByte1], g_image.bytes[kSetupByte2]);
    MoveWindow(window, 0, 0, g_shared.main_client_width, g_shared.main_client_height, FALSE);
    create_controls(window);
    // A typed alarm text must fit its buffer: nine "OFFnn" actions are 53.
    send(kIdCoding, EM_LIMITTEXT, kAlarmTextMaxChars, 0);
    fill_fixed_lists();
    form_at_creation(g_config_state, g_config_form);
    apply_form(kChangedAll);
    send(kIdProgress, PBM_SETPOS, 0, 0);
    send(kIdProgress, PBM_SETRANGE, 0, MAKELPARAM(0, kCreationProgressRange));
    install_focus_handling();
    reset_remembered_positions(g_config_state);
    SetFocus(g_handles.controls[kIdAlarmSelector]);
    return 0;
}

// ---- notifications -----------------------------------------------------

using ChangeHandler = uint32_t (*)(ConfigForm&, ConfigWindowState&, const SharedState&);

void on_change(ChangeHandler handler) {
    if (g_shared.updating) return;
    read_controls_into_form();
    apply_form(handler(g_config_form, g_config_state, g_shared));
}

int id_of_control(HWND control) {
    if (control == nullptr) return kNoId;
    for (int id = 0; id < kControlCount; ++id) {
        if (g_handles.controls[id] == control) return id;
    }
    return kNoId;
}

void on_button(HWND window, int id) {
    switch (id) {
        case kIdLoad: load_configuration_file(window); break;
        case kIdSave: save_configuration_file(window); break;
        case kIdRead: read_from_device(window); break;
        case kIdVerify: verify_against_device(window); break;
        case kIdProgram: program_device(window); break;
        default: break;
    }
}

LRESULT OnCommand(HWND window, WPARAM wparam, LPARAM lparam) {
    const int id = id_of_control(reinterpret_cast<HWND>(lparam));
    const UINT code = HIWORD(wparam);
    if (id == kNoId || id != LOWORD(wparam)) return 0;   // menus and accelerators: none here
    if (code == CBN_SELCHANGE) {
        switch (id) {
            case kIdAlarmSelector: on_change(&on_alarm_selector_changed); break;
            case kIdNumber: on_change(&on_number_changed); break;
            case kIdRelaySelector: on_change(&on_relay_selector_changed); break;
            case kIdRelayFiveTone: on_change(&on_relay_five_tone_changed); break;
            default: break;
        }
    } else if (code == EN_CHANGE && id == kIdFiveToneCount) {
        on_change(&on_five_tone_count_changed);
    } else if (code == BN_CLICKED && id >= kIdLoad && id <= kIdProgram) {
        on_button(window, id);
    }
    return 0;
}

LRESULT OnClose(HWND window) {
    port_stop();
    DestroyWindow(window);
    enable_menu_item(kMenuConfiguration, true);
    enable_menu_item(kMenuSetup, g_shared.service_mode != 0);
    enable_menu_item(kMenuConnect, true);
    return 0;
}

LRESULT OnDestroy() {
    g_handles = ConfigWindowHandles{};
    return 0;
}

}  // namespace

HWND config_control(int id) {
    if (id < 0 || id >= kControlCount) return nullptr;
    return g_handles.controls[id];
}

void read_controls_into_form() {
    ConfigForm& form = g_config_form;
    get_text(kIdCoding, form.coding, sizeof form.coding);
    get_text(kIdDeadTime, form.dead_time, sizeof form.dead_time);
    get_text(kIdAlarmPause, form.alarm_pause, sizeof form.alarm_pause);
    get_text(kIdFiveToneCount, form.five_tone_count, sizeof form.five_tone_count);
    get_text(kIdFiveTone, form.five_tone, sizeof form.five_tone);
    get_text(kIdOnTime, form.on_time, sizeof form.on_time);
    form.alarm_selector = selection(kIdAlarmSelector);
    form.alarm_memory = selection(kIdAlarmMemory);
    form.number = selection(kIdNumber);
    form.number_items = static_cast<int>(send(kIdNumber, CB_GETCOUNT, 0, 0));
    form.manual = selection(kIdManual);
    form.relay_selector = selection(kIdRelaySelector);
    form.relay_five_tone = selection(kIdRelayFiveTone);
    form.relay_double_tone = selection(kIdRelayDoubleTone);
    form.relay_double_tone_enabled = IsWindowEnabled(g_handles.controls[kIdRelayDoubleTone]) != FALSE;
    form.relay_controls_enabled = IsWindowEnabled(g_handles.controls[kIdRelaySelector]) != FALSE;
}

void apply_form(uint32_t changes) {
    if (changes == 0) return;
    const ConfigForm& form = g_config_form;
    // Setting a text makes the edit control report a change; the flag keeps
    // the window from taking its own update for the user's typing.
    const uint32_t was_updating = g_shared.updating;
    g_shared.updating = 1;
    struct TextField {
        int id;
        const char* text;
    };
    const TextField texts[] = {
        {kIdCoding, form.coding},       {kIdDeadTime, form.dead_time}, {kIdAlarmPause, form.alarm_pause},
        {kIdFiveToneCount, form.five_tone_count}, {kIdFiveTone, form.five_tone}, {kIdOnTime, form.on_time},
    };
    for (const TextField& field : texts) {
        if (changes & changed_bit(field.id)) SetWindowTextA(g_handles.controls[field.id], field.text);
    }
    if (changes & kChangedNumberItems) fill_list(kIdNumber);
    struct Selection {
        int id;
        int position;
    };
    const Selection selections[] = {
        {kIdAlarmSelector, form.alarm_selector}, {kIdAlarmMemory, form.alarm_memory},
        {kIdNumber, form.number},                {kIdManual, form.manual},
        {kIdRelaySelector, form.relay_selector}, {kIdRelayFiveTone, form.relay_five_tone},
        {kIdRelayDoubleTone, form.relay_double_tone},
    };
    for (const Selection& list : selections) {
        if (changes & changed_bit(list.id)) select(list.id, list.position);
    }
    if (changes & kChangedEnables) {
        const BOOL relays = form.relay_controls_enabled ? TRUE : FALSE;
        EnableWindow(g_handles.controls[kIdRelaySelector], relays);
        EnableWindow(g_handles.controls[kIdRelayFiveTone], relays);
        EnableWindow(g_handles.controls[kIdOnTime], relays);
        EnableWindow(g_handles.controls[kIdRelayDoubleTone], form.relay_double_tone_enabled ? TRUE : FALSE);
    }
    g_shared.updating = was_updating;
}

bool take_fields_into_image(HWND window) {
    read_controls_into_form();
    const int error = form_to_image(g_config_form, g_config_state, g_image);
    if (error == 0) return true;
    show_error(window, config_error_text(error), kCaptionConfigurationForm);
    return false;
}

void show_new_record(HWND window, const char* message) {
    image_to_form(g_image, g_config_state, g_config_form, g_shared);
    apply_form(kChangedAll);
    show_info(window, message, kCaptionConfiguration);
    reset_remembered_positions(g_config_state);
    g_shared.updating = 0;
}

void enable_command_buttons(bool enabled) {
    for (int id = kIdLoad; id <= kIdProgram; ++id) {
        EnableWindow(g_handles.controls[id], enabled ? TRUE : FALSE);
    }
}

LRESULT CALLBACK ConfigWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_COMMAND:
            return OnCommand(window, wparam, lparam);
        case WM_CLOSE:
            return OnClose(window);
        case WM_NCDESTROY:
            // The controls are destroyed after this window's WM_DESTROY and
            // still need the procedures they were subclassed from then (an
            // edit control frees its text on its own WM_NCDESTROY); forget
            // them only when all are gone. The default processing frees the
            // caption.
            OnDestroy();
            return DefWindowProcA(window, message, wparam, lparam);
        case kProgressMessage:
            on_transaction_progress(window, wparam);
            return 0;
        case kEndMessage:
            on_transaction_end(window, wparam);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace zav
