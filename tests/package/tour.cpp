// zav_tour: walks through the program under Wine against the virtual device
// and leaves behind what the user guide shows: screenshots of every window
// and of typical messages, and the example configuration files, saved by the
// program itself through its "Sichern" command.
//
//   zav_tour.exe SHOT_FOLDER EXAMPLE_FOLDER   (Windows paths)
//
// tools/screenshots runs it inside Wine's virtual desktop with zavsim on
// COM1. The tour cannot photograph the screen itself (the picture is taken
// on the X side), so for every picture it writes SHOT_FOLDER\NAME.req with
// the rectangle to keep ("x y width height", desktop pixels) and waits until
// tools/screenshots has answered with SHOT_FOLDER\NAME.done. At the end it
// writes SHOT_FOLDER\tour.end holding "ok" or the step that failed.
//
// This is a demonstration, not a test: where the program needs a moment to
// paint, the tour waits a fixed time before asking for the picture.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"

using namespace zavtest;

namespace {

using namespace config_control;

constexpr int kDesktopWidth = 1024;
constexpr int kDesktopHeight = 768;
constexpr int kMargin = 12;

std::string g_shots;
std::string g_examples;
Program g_program;
std::string g_failed;

bool fail(const std::string& step) {
    if (g_failed.empty()) g_failed = step;
    std::fprintf(stderr, "zav_tour: %s\n", step.c_str());
    return false;
}

void write_text_file(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

long long file_size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct Bounds {
    RECT rect{};
    bool any = false;
};

BOOL CALLBACK add_program_window(HWND window, LPARAM context) {
    Bounds& bounds = *reinterpret_cast<Bounds*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != g_program.process.dwProcessId || !IsWindowVisible(window)) return TRUE;
    RECT r = window_rect(window);
    if (r.right <= r.left || r.bottom <= r.top) return TRUE;
    if (!bounds.any) {
        bounds.rect = r;
        bounds.any = true;
    } else {
        UnionRect(&bounds.rect, &bounds.rect, &r);
    }
    return TRUE;
}

// Asks for a picture of everything the program shows now: its windows, open
// boxes and menus, with a margin of desktop around them.
bool shot(const char* name) {
    sync_with_program(g_program);
    Sleep(700);  // let Wine paint what the last messages changed
    Bounds bounds;
    EnumWindows(add_program_window, reinterpret_cast<LPARAM>(&bounds));
    if (!bounds.any) return fail(std::string("nothing to photograph for ") + name);
    const int left = bounds.rect.left - kMargin < 0 ? 0 : bounds.rect.left - kMargin;
    const int top = bounds.rect.top - kMargin < 0 ? 0 : bounds.rect.top - kMargin;
    const int right = bounds.rect.right + kMargin > kDesktopWidth ? kDesktopWidth : bounds.rect.right + kMargin;
    const int bottom = bounds.rect.bottom + kMargin > kDesktopHeight ? kDesktopHeight : bounds.rect.bottom + kMargin;
    char request[128];
    std::snprintf(request, sizeof request, "%d %d %d %d\n", left, top, right - left, bottom - top);
    const std::string done = g_shots + "\\" + name + ".done";
    DeleteFileA(done.c_str());
    write_text_file(g_shots + "\\" + name + ".req", request);
    if (!wait_until([&] { return file_exists(done); }, 30000))
        return fail(std::string("no picture taken for ") + name);
    std::printf("zav_tour: %s\n", name);
    std::fflush(stdout);
    return true;
}

// Waits for a message box with this caption and text.
bool expect_box(const char* caption, const std::string& text, MessageBoxInfo& box, int timeout_ms = kTransactionWait) {
    if (!wait_message_box(g_program, caption, box, timeout_ms))
        return fail(std::string("no message box \"") + caption + "\" (\"" + text + "\")");
    if (box.text != text) return fail("box \"" + box.caption + "\" says \"" + box.text + "\", not \"" + text + "\"");
    return true;
}

bool confirm_box(const char* caption, const std::string& text, const char* picture = nullptr) {
    MessageBoxInfo box;
    if (!expect_box(caption, text, box)) return false;
    if (picture && !shot(picture)) return false;
    return press_ok(box) || fail("the box \"" + text + "\" did not close");
}

// Starts the program afresh against a device with these setup options.
bool start(const std::string& arguments, const char* options) {
    end_program(g_program);
    if (!sim("reset") || !sim(std::string("options ") + options)) return fail("the virtual device does not answer");
    if (!start_program(g_program, arguments)) return fail("zavkonfig.exe did not show its main window");
    SetForegroundWindow(g_program.main_window);
    return true;
}

bool connect() {
    post_menu_command(g_program.main_window, kMenuConnect);
    return confirm_box("ZAV-Verbinden", "ZAV 160 erkannt");
}

HWND g_config = nullptr;

HWND control(int id) { return find_child(g_config, id); }

bool open_configuration() {
    post_menu_command(g_program.main_window, kMenuConfiguration);
    if (!wait_until([&] { return (g_config = find_child_by_class(g_program.main_window, "Konfig")) != nullptr; }) ||
        !wait_until([&] { return control(18) != nullptr; }))
        return fail("the configuration window did not open");
    return true;
}

bool close_child(HWND& window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!wait_until([&] { return !IsWindow(window); })) return fail("a window did not close");
    window = nullptr;
    return true;
}

// A list choice as the user makes it; the window handles it before the next
// step types into a field that the choice switches.
void choose(int id, int index) {
    select_combo_item(control(id), index);
    sync_with_program(g_program, g_config);
}

void type(int id, const char* text) {
    set_text(control(id), text);
    sync_with_program(g_program, g_config);
}

// Types the path into the save dialog and confirms it.
bool save_as(const std::string& path) {
    click(control(kSave));
    HWND dialog = nullptr;
    if (!wait_until([&] { return (dialog = open_dialog(g_program)) != nullptr; })) return fail("no save dialog");
    HWND name = nullptr;
    wait_until([&] { return (name = find_child(dialog, 1148)) != nullptr; });
    if (!name) return fail("the save dialog has no name field");
    HWND edit = find_child_by_class(name, "Edit");
    set_text(edit ? edit : name, path);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (!wait_until([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        return fail("the save dialog stayed open");
    // The file exists as soon as it is created; it is done when it holds all
    // 133 bytes.
    if (!wait_until([&] { return file_size(path) == 133; })) return fail("no complete file " + path);
    if (HWND box = open_dialog(g_program)) {
        return fail("saving said \"" + window_text(GetDlgItem(box, 0xFFFF)) + "\"");
    }
    return true;
}

struct Relay {
    int five_tone;    // position in the 5-tone choice: 0..9 entry, 10 "alle", 11 "--"
    int double_tone;  // position in the double-tone choice (a fitted alarm, or the last: "-keiner-")
    const char* on_time;
};

struct Example {
    const char* file_name;
    const char* options;  // setup bytes 1 and 2 of the device it is made for
    std::vector<const char*> alarm_texts;
    const char* dead_time;
    const char* alarm_pause;
    int alarm_memory;  // position: "0", "1", "2", "4"
    std::vector<const char*> addresses;
    int manual;  // position among the fitted alarms
    std::vector<Relay> relays;
};

// A small station: two double-tone alarms, two addresses, no extra relays.
const Example kSmallStation = {
    "kleine-wache.zcf", "0301", {"ON01,ON02", "H0330,OFF02"}, "30", "10", 1, {"21401", "21402"}, 0, {}};

// The full device: five double-tone alarms, ten addresses, four relays.
const Example kFullDevice = {
    "voll-10-adressen-4-relais.zcf",
    "BF01",
    {"ON01,ON02", "ON03,R04", "H0515,OFF01", "OFF01,OFF02,OFF03", "R10,R11,ON12"},
    "60",
    "20",
    3,
    {"21401", "21402", "21403", "21404", "21405", "21406", "21407", "21408", "21409", "21410"},
    1,
    {{0, 0, "10"}, {1, 5, "20"}, {10, 2, "30"}, {9, 4, "180"}}};

bool fill(const Example& example) {
    for (size_t a = 0; a < example.alarm_texts.size(); ++a) {
        choose(kAlarmSelector, static_cast<int>(a));
        type(kCoding, example.alarm_texts[a]);
    }
    choose(kAlarmSelector, 0);
    type(kDeadTime, example.dead_time);
    type(kAlarmPause, example.alarm_pause);
    choose(kAlarmMemory, example.alarm_memory);
    char count[8];
    std::snprintf(count, sizeof count, "%d", static_cast<int>(example.addresses.size()));
    type(kFiveToneCount, count);
    sync_with_program(g_program, g_config);  // "Nummer" is refilled by a posted notification
    for (size_t n = 0; n < example.addresses.size(); ++n) {
        choose(kNumber, static_cast<int>(n));
        type(kFiveTone, example.addresses[n]);
    }
    choose(kNumber, 0);
    choose(kManual, example.manual);
    for (size_t r = 0; r < example.relays.size(); ++r) {
        choose(kRelaySelector, static_cast<int>(r));
        choose(kRelayFiveTone, example.relays[r].five_tone);
        choose(kRelayDoubleTone, example.relays[r].double_tone);
        type(kOnTime, example.relays[r].on_time);
    }
    if (!example.relays.empty()) choose(kRelaySelector, 0);
    return true;
}

// Connects to a device of the example's kind, types the example into the
// configuration window and saves it with "Sichern".
bool make_example(const Example& example) {
    if (!start("", example.options) || !connect() || !open_configuration()) return false;
    fill(example);
    const std::string path = g_examples + "\\" + example.file_name;
    DeleteFileA(path.c_str());
    return save_as(path);
}

bool tour_main_window() {
    if (!start("", kFullDevice.options) || !connect()) return false;
    // The menu drops down as after Alt+Z.
    PostMessageA(g_program.main_window, WM_SYSCOMMAND, SC_KEYMENU, 'z');
    if (!wait_until([&] { return find_program_window(g_program, "#32768") != nullptr; }))
        return fail("the menu did not open");
    if (!shot("hauptfenster-menue")) return false;
    PostMessageA(g_program.main_window, WM_CANCELMODE, 0, 0);
    for (int i = 0; i < 2 && find_program_window(g_program, "#32768"); ++i) {
        PostMessageA(g_program.main_window, WM_KEYDOWN, VK_ESCAPE, 0);
        sync_with_program(g_program);
    }
    if (!wait_until([&] { return find_program_window(g_program, "#32768") == nullptr; }))
        return fail("the menu stayed open");

    post_menu_command(g_program.main_window, kMenuConnect);
    MessageBoxInfo box;
    if (!expect_box("ZAV-Verbinden", "ZAV 160 erkannt", box) || !shot("verbinden-erkannt") || !press_ok(box))
        return false;

    post_menu_command(g_program.main_window, kMenuPort);
    HWND port = wait_dialog(g_program, "Com-Port ?");
    if (!port) return fail("the port dialog did not open");
    if (!shot("port-dialog") || !press_button_and_wait_closed(port, kPortCancel))
        return fail("the port dialog");

    post_menu_command(g_program.main_window, kMenuInfo);
    HWND info = nullptr;
    if (!wait_until([&] { return (info = find_child_by_class(g_program.main_window, "Display")) != nullptr; }))
        return fail("the info window did not open");
    HWND list = find_child_by_class(info, "ListBox");
    wait_until([&] { return list && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0; });
    if (!shot("info-fenster")) return false;
    return close_child(info);
}

bool tour_configuration() {
    // The full example, programmed into the device, read back and shown.
    if (!open_configuration()) return false;
    fill(kFullDevice);
    type(kDeadTime, "200");
    click(control(kProgram));
    if (!confirm_box("ZAV Konfiguration", "Fehler: Totzeit !", "feldfehler")) return false;
    type(kDeadTime, kFullDevice.dead_time);
    click(control(kProgram));
    if (!confirm_box("ZAV-Konfiguration", "Programmierung erfolgreich !", "programmierung-erfolgreich")) return false;
    if (!close_child(g_config) || !open_configuration()) return false;
    click(control(kRead));
    if (!confirm_box("ZAV-Konfiguration", "Konfiguration gelesen !")) return false;
    // Show a relay with both triggers.
    choose(kRelaySelector, 2);
    choose(kAlarmSelector, 2);
    return shot("konfiguration-gelesen");
}

bool tour_setup() {
    if (!start(kAccessCode, kFullDevice.options) || !connect()) return false;
    post_menu_command(g_program.main_window, kMenuSetup);
    HWND setup = nullptr;
    if (!wait_until([&] { return (setup = find_child_by_class(g_program.main_window, "Setup")) != nullptr; }) ||
        !wait_until([&] { return find_child(setup, kSetupRead) != nullptr; }))
        return fail("the setup window did not open");
    click(find_child(setup, kSetupRead));
    if (!confirm_box("ZAV-Setup", "Setup gelesen !")) return false;
    return shot("setup-fenster");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zav_tour.exe SHOT_FOLDER EXAMPLE_FOLDER\n");
        return 2;
    }
    g_shots = argv[1];
    g_examples = argv[2];
    bool ok = make_example(kSmallStation) && make_example(kFullDevice);
    ok = ok && tour_main_window() && tour_configuration();
    ok = ok && tour_setup();
    end_program(g_program);
    write_text_file(g_shots + "\\tour.end", ok ? "ok\n" : g_failed + "\n");
    return ok ? 0 : 1;
}
