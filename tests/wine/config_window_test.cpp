// The configuration window under Wine: its controls, the field handling, the
// configuration file through the real dialogs, and the device commands
// against the virtual device.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {
namespace {

using namespace config_control;

constexpr const char kCaptionFile[] = "ZAV-Konfiguration";
constexpr const char kCaptionForm[] = "ZAV Konfiguration";
constexpr const char kHeader[] = "ZAV-Konfigurationsdatei";

const std::vector<std::string> kSetA = {"675Hz/1240Hz", "675Hz/1860Hz", "675Hz/2280Hz", "675Hz/825Hz",
                                        "675Hz/1010Hz"};
const std::vector<std::string> kSetB = {"675Hz/1240Hz", "675Hz/1860hz", "1240Hz/2280Hz", "1240Hz/1860Hz",
                                        "1240Hz/1010Hz"};

// A record whose every field shows a known text: three 5-tone entries,
// one list per alarm (alarm 0 with an H action), relay 0 on entry 1 and
// alarm 1 for 10 s.
std::vector<uint8_t> known_record() {
    std::vector<uint8_t> record(108, 0xFF);
    record[0] = 3;
    const char* entries[10] = {"12345", "23456", "34567", "44444", "55555",
                               "66666", "77777", "88888", "99999", "00000"};
    for (int n = 0; n < 10; ++n) std::memcpy(&record[1 + 5 * n], entries[n], 5);
    const std::vector<std::vector<uint8_t>> lists = {
        {0x45, 0x8C, 0x20, 0x05}, {0xC3}, {0x41}, {0x0A}, {0x7C}};
    for (int a = 0; a < 5; ++a) {
        for (size_t i = 0; i < lists[a].size(); ++i) record[51 + 9 * a + i] = lists[a][i];
    }
    record[96] = 30;
    record[97] = 60;
    record[98] = 2;
    record[99] = 1;
    record[100] = 0x01;
    record[101] = 10;
    for (int r = 1; r < 4; ++r) {
        record[100 + 2 * r] = 0xFF;
        record[101 + 2 * r] = 0;
    }
    return record;
}

std::vector<uint8_t> file_bytes_for(const std::vector<uint8_t>& record) {
    std::vector<uint8_t> bytes;
    bytes.reserve(133);
    for (int i = 0; i < 23; ++i) bytes.push_back(static_cast<uint8_t>(kHeader[i]));
    unsigned sum = 0;
    for (uint8_t b : record) {
        sum += b;
        bytes.push_back(b);
    }
    bytes.push_back(static_cast<uint8_t>(sum & 0xFF));
    bytes.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return bytes;
}

std::string temp_path(const std::string& name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// An empty folder of this name in the temporary folder, for a test that
// looks at everything in it afterwards.
std::string fresh_folder(const std::string& name) {
    const std::string folder = temp_path(name);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                const std::string file = folder + "\\" + found.cFileName;
                SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(file.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.assign(1024, 0);
    DWORD got = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return ok != FALSE;
}

// The window's fields as text, to see that a command left them alone.
struct Fields {
    std::string coding, dead_time, alarm_pause, count, five_tone, on_time;
    int alarm_memory, number_items, manual;
    bool operator==(const Fields& o) const {
        return coding == o.coding && dead_time == o.dead_time && alarm_pause == o.alarm_pause && count == o.count &&
               five_tone == o.five_tone && on_time == o.on_time && alarm_memory == o.alarm_memory &&
               number_items == o.number_items && manual == o.manual;
    }
};

class ConfigWindowTest : public ProgramTest {
protected:
    HWND config = nullptr;

    HWND control(int id) const { return find_child(config, id); }
    std::string text(int id) const { return window_text(control(id)); }
    std::vector<std::string> items(int id) const { return combo_items(control(id)); }
    int selected(int id) const { return combo_selection(control(id)); }

    Fields fields() const {
        return {text(kCoding), text(kDeadTime), text(kAlarmPause), text(kFiveToneCount), text(kFiveTone),
                text(kOnTime), selected(kAlarmMemory), static_cast<int>(items(kNumber).size()), selected(kManual)};
    }

    // Expects a box with this caption, text and icon, and closes it.
    ::testing::AssertionResult box(const char* caption, const std::string& expected, IconKind icon,
                                   int timeout_ms = kTransactionWait) {
        MessageBoxInfo info;
        if (!wait_message_box(caption, info, timeout_ms))
            return ::testing::AssertionFailure() << "no box \"" << caption << "\" (expected \"" << expected << "\")";
        const bool matches = info.text == expected && info.icon == icon;
        press_ok(info);
        if (!matches)
            return ::testing::AssertionFailure()
                   << "box \"" << caption << "\" says \"" << info.text << "\" with icon " << to_string(info.icon)
                   << ", expected \"" << expected << "\" with icon " << to_string(icon);
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult connect() {
        post_menu_command(kMenuConnect);
        return box("ZAV-Verbinden", "ZAV 160 erkannt", IconKind::information);
    }

    ::testing::AssertionResult open_window() {
        post_menu_command(kMenuConfiguration);
        if (!wait_until([&] { return (config = find_child_by_class(main(), "Konfig")) != nullptr; }))
            return ::testing::AssertionFailure() << "the configuration window did not open";
        if (!wait_until([&] { return control(kProgress) != nullptr; }))
            return ::testing::AssertionFailure() << "the configuration window has no progress bar";
        return ::testing::AssertionSuccess();
    }

    // Start, connect to the device as it now is, open the window.
    ::testing::AssertionResult open_connected(const std::string& argument_text = "") {
        ::testing::AssertionResult result = start(argument_text);
        if (!result) return result;
        result = connect();
        if (!result) return result;
        return open_window();
    }

    void close_window() {
        PostMessageA(config, WM_CLOSE, 0, 0);
        ASSERT_TRUE(wait_until([&] { return !IsWindow(config); }));
        config = nullptr;
    }

    // "Lesen" of the device's record, which then fills the fields.
    ::testing::AssertionResult read_device() {
        click(control(kRead));
        return box(kCaptionFile, "Konfiguration gelesen !", IconKind::information);
    }

    bool use_known_record() { return sim("record " + hex_text(known_record())); }

    std::vector<uint8_t> device_record() {
        std::vector<uint8_t> bytes;
        if (!sim_stored_record(bytes) || bytes.size() < 108) return {};
        bytes.resize(108);
        return bytes;
    }

    int program_frames(uint8_t first_byte) { return count_program_frames(sim_frames(), first_byte); }

    // Types a path into the open file dialog and presses OK; with
    // expect_prompt, answers the dialog's question (create the missing file,
    // replace the existing one) with yes.
    ::testing::AssertionResult choose_file(const std::string& path, bool expect_prompt = false) {
        HWND dialog = nullptr;
        if (!wait_until([&] { return (dialog = open_dialog(program)) != nullptr; }))
            return ::testing::AssertionFailure() << "no file dialog";
        HWND name = nullptr;
        wait_until([&] { return (name = find_child(dialog, 1148)) != nullptr; });
        if (!name) return ::testing::AssertionFailure() << "the file dialog has no name field";
        HWND edit = find_child_by_class(name, "Edit");
        set_text(edit ? edit : name, path);
        HWND ok = GetDlgItem(dialog, IDOK);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        if (expect_prompt) {
            HWND prompt = nullptr;
            if (!wait_until([&] {
                    HWND other = open_dialog(program);
                    if (other && other != dialog && GetDlgItem(other, IDYES)) prompt = other;
                    return prompt != nullptr;
                }))
                return ::testing::AssertionFailure() << "the file dialog asked nothing";
            press_button_and_wait_closed(prompt, IDYES);
        }
        if (!wait_until([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
            return ::testing::AssertionFailure() << "the file dialog stayed open";
        return ::testing::AssertionSuccess();
    }

    int focused_id() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(program.ui_thread, &info) || info.hwndFocus == nullptr) return -100;
        return GetDlgCtrlID(info.hwndFocus);
    }
};

// ---- The window and its controls ------------------------------------------

struct ExpectedControl {
    const char* class_name;
    const char* text;  // nullptr: not compared
    int id;            // -1: no id (found by text)
    int x_num, x_den;  // x = x_num * cw / x_den
    int y_whole, y_num, y_den;  // y = y_whole * lh + y_num * lh / y_den (y_den 0: y_num pixels)
    int width;         // character widths
    int h_num, h_den;  // height = h_num * lh / h_den (combo boxes: not compared)
};

const ExpectedControl kExpected[] = {
    {"Static", "Doppel-Ton", -1, 1, 1, 2, 0, 1, 15, 7, 6},
    {"Static", "Codierung", -1, 1, 1, 4, 0, 1, 15, 7, 6},
    {"Static", "Totzeit", -1, 1, 1, 6, 0, 1, 15, 7, 6},
    {"Static", "Alarmpause", -1, 1, 1, 8, 0, 1, 15, 7, 6},
    {"Static", "Alarmspeicher", -1, 1, 1, 10, 0, 1, 15, 7, 6},
    {"Button", "Alarme", -1, 1, 2, 0, 5, 0, 28, 23, 2},
    {"ComboBox", nullptr, kAlarmSelector, 11, 1, 2, 0, 1, 16, 0, 0},
    {"Edit", "", kCoding, 11, 1, 4, 0, 1, 16, 7, 6},
    {"Edit", "", kDeadTime, 11, 1, 6, 0, 1, 4, 7, 6},
    {"Edit", "", kAlarmPause, 11, 1, 8, 0, 1, 4, 7, 6},
    {"ComboBox", nullptr, kAlarmMemory, 14, 1, 10, 0, 1, 4, 0, 0},
    {"Static", "Anzahl-5Ton", -1, 30, 1, 2, 0, 1, 10, 7, 6},
    {"Static", "Nummer", -1, 30, 1, 4, 0, 1, 10, 7, 6},
    {"Static", "Hand", -1, 30, 1, 8, 0, 1, 10, 7, 6},
    {"Edit", "", kFiveToneCount, 41, 1, 2, 0, 1, 3, 7, 6},
    {"ComboBox", nullptr, kNumber, 41, 1, 4, 0, 1, 5, 0, 0},
    {"Edit", "", kFiveTone, 41, 1, 6, 0, 1, 7, 7, 6},
    {"ComboBox", nullptr, kManual, 35, 1, 8, 0, 1, 16, 0, 0},
    {"Button", "Adressen", -1, 59, 2, 0, 5, 0, 23, 23, 2},
    {"Static", "Relais", -1, 1, 1, 14, 0, 1, 8, 7, 6},
    {"Static", "Ein-Zeit", -1, 52, 1, 14, 0, 1, 8, 7, 6},
    {"Static", "s", -1, 64, 1, 14, 0, 1, 8, 7, 6},
    {"ComboBox", nullptr, kRelaySelector, 7, 1, 14, 0, 1, 4, 0, 0},
    {"ComboBox", nullptr, kRelayFiveTone, 18, 1, 14, 0, 1, 7, 0, 0},
    {"ComboBox", nullptr, kRelayDoubleTone, 35, 1, 14, 0, 1, 16, 0, 0},
    {"Edit", "0", kOnTime, 59, 1, 14, 0, 1, 4, 7, 6},
    {"Button", "Zusatzrelais", -1, 1, 2, 0, 25, 2, 66, 4, 1},
    {"Button", "Laden", kLoad, 55, 1, 1, 0, 1, 14, 7, 4},
    {"Button", "Sichern", kSave, 55, 1, 1, 11, 5, 14, 7, 4},
    {"Button", "Lesen", kRead, 55, 1, 1, 22, 5, 14, 7, 4},
    {"Button", "Verifizieren", kVerify, 55, 1, 1, 33, 5, 14, 7, 4},
    {"Button", "Programmieren", kProgram, 55, 1, 1, 44, 5, 14, 7, 4},
    {"msctls_progress32", nullptr, kProgress, 1, 1, 17, 0, 1, 66, 3, 2},
};

TEST_F(ConfigWindowTest, OpensWithEveryControlInPlaceAndGraysTheMenu) {
    ASSERT_TRUE(open_connected());
    EXPECT_EQ("ZAV-Konfig", window_text(config));
    int cw = 0, lh = 0;
    layout_units(cw, lh);
    POINT origin{0, 0};
    ClientToScreen(config, &origin);
    for (const ExpectedControl& e : kExpected) {
        SCOPED_TRACE(e.text ? e.text : std::to_string(e.id));
        HWND c = e.id >= 0 ? control(e.id) : find_child_by_class(config, e.class_name, e.text);
        ASSERT_NE(nullptr, c);
        EXPECT_STREQ(e.class_name, class_name(c).c_str());
        if (e.text) {
            EXPECT_EQ(e.text, window_text(c));
        }
        const RECT r = window_rect(c);
        const int y = e.y_den ? e.y_whole * lh + e.y_num * lh / e.y_den : e.y_num;
        EXPECT_EQ(e.x_num * cw / e.x_den, r.left - origin.x);
        EXPECT_EQ(y, r.top - origin.y);
        EXPECT_EQ(e.width * cw, r.right - r.left);
        if (e.h_den) {
            EXPECT_EQ(e.h_num * lh / e.h_den, r.bottom - r.top);
        }
    }
    // Both "5-Ton" labels and both "Sekunden" labels exist.
    int five_tone = 0, seconds = 0;
    for (HWND s : find_children_by_class(config, "Static")) {
        five_tone += window_text(s) == "5-Ton";
        seconds += window_text(s) == "Sekunden";
    }
    EXPECT_EQ(2, five_tone);
    EXPECT_EQ(2, seconds);

    // Fresh fields, fixed lists, the progress bar's first range.
    EXPECT_EQ((std::vector<std::string>{"0", "1", "2", "4"}), items(kAlarmMemory));
    EXPECT_EQ(0, selected(kAlarmMemory));
    EXPECT_TRUE(items(kNumber).empty());
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "alle", "--"}),
              items(kRelayFiveTone));
    EXPECT_EQ(11, selected(kRelayFiveTone));
    EXPECT_EQ(5, selected(kRelayDoubleTone));
    EXPECT_FALSE(is_enabled(control(kRelayDoubleTone)));
    EXPECT_EQ(4, SendMessageA(control(kProgress), PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(0, SendMessageA(control(kProgress), PBM_GETPOS, 0, 0));
    EXPECT_EQ(kAlarmSelector, focused_id());

    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuConnect));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
    close_window();
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
}

TEST_F(ConfigWindowTest, ClosingInServiceModeEnablesTheSetupItem) {
    ASSERT_TRUE(open_connected(kAccessCode));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
    close_window();
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
}

TEST_F(ConfigWindowTest, ListsTheFittedAlarmsOfToneSetA) {
    ASSERT_TRUE(open_connected());  // the default device: all five alarms, set A
    EXPECT_EQ(kSetA, items(kAlarmSelector));
    EXPECT_EQ(kSetA, items(kManual));
    std::vector<std::string> double_tone = kSetA;
    double_tone.push_back("-keiner-");
    EXPECT_EQ(double_tone, items(kRelayDoubleTone));
    EXPECT_EQ(0, selected(kAlarmSelector));
    EXPECT_EQ(0, selected(kManual));
}

TEST_F(ConfigWindowTest, ListsTheFittedAlarmsOfToneSetBAsWritten) {
    ASSERT_TRUE(sim("options 1F00"));  // all alarms, set B, no relays, 5 addresses
    ASSERT_TRUE(open_connected());
    EXPECT_EQ(kSetB, items(kAlarmSelector));
    EXPECT_EQ(kSetB, items(kManual));
    EXPECT_EQ("675Hz/1860hz", items(kManual)[1]);
}

TEST_F(ConfigWindowTest, TwoFittedAlarmsWithoutRelays) {
    ASSERT_TRUE(sim("options 2501"));  // alarms 0 and 2, 10 addresses, set A, no relays
    ASSERT_TRUE(open_connected());
    const std::vector<std::string> fitted = {"675Hz/1240Hz", "675Hz/2280Hz"};
    EXPECT_EQ(fitted, items(kAlarmSelector));
    EXPECT_EQ(fitted, items(kManual));
    EXPECT_TRUE(items(kRelaySelector).empty());
    for (int id : {kRelaySelector, kRelayFiveTone, kRelayDoubleTone, kOnTime}) {
        EXPECT_FALSE(is_enabled(control(id))) << id;
    }
    // Ten addresses may be typed.
    set_text(control(kFiveToneCount), "10");
    EXPECT_TRUE(wait_until([&] { return items(kNumber).size() == 10; }));
    EXPECT_EQ("10", text(kFiveToneCount));
}

TEST_F(ConfigWindowTest, RelayControlsFollowTheRelayCount) {
    ASSERT_TRUE(sim("options 5F01"));  // relays up to 2
    ASSERT_TRUE(open_connected());
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), items(kRelaySelector));
    EXPECT_EQ(0, selected(kRelaySelector));
    EXPECT_TRUE(is_enabled(control(kRelaySelector)));
    EXPECT_TRUE(is_enabled(control(kOnTime)));
    close_window();
    end_program(program);

    ASSERT_TRUE(sim("options 9F01"));  // relays up to 4
    ASSERT_TRUE(open_connected());
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4"}), items(kRelaySelector));

    // A 5-tone trigger enables the double-tone choice; "--" takes it back
    // to "-keiner-" and disables it.
    select_combo_item(control(kRelayFiveTone), 0);
    EXPECT_TRUE(wait_until([&] { return is_enabled(control(kRelayDoubleTone)); }));
    select_combo_item(control(kRelayDoubleTone), 2);
    select_combo_item(control(kRelayFiveTone), 11);
    EXPECT_TRUE(wait_until([&] { return !is_enabled(control(kRelayDoubleTone)); }));
    EXPECT_EQ(5, selected(kRelayDoubleTone));
}

TEST_F(ConfigWindowTest, RelaySelectorKeepsEachRelaysSettings) {
    ASSERT_TRUE(sim("options 9F01"));
    ASSERT_TRUE(open_connected());
    select_combo_item(control(kRelayFiveTone), 10);  // "alle"
    select_combo_item(control(kRelayDoubleTone), 3);
    set_text(control(kOnTime), "42");
    select_combo_item(control(kRelaySelector), 2);
    ASSERT_TRUE(wait_until([&] { return text(kOnTime) == "0"; }));
    EXPECT_EQ(11, selected(kRelayFiveTone));
    EXPECT_EQ(5, selected(kRelayDoubleTone));
    select_combo_item(control(kRelaySelector), 0);
    ASSERT_TRUE(wait_until([&] { return text(kOnTime) == "42"; }));
    EXPECT_EQ(10, selected(kRelayFiveTone));
    EXPECT_EQ(3, selected(kRelayDoubleTone));
    EXPECT_TRUE(is_enabled(control(kRelayDoubleTone)));
}

TEST_F(ConfigWindowTest, CountIsCutToTheMaximumAsItIsTyped) {
    ASSERT_TRUE(sim("options 5F01"));  // 5 addresses at most
    ASSERT_TRUE(open_connected());
    set_text(control(kFiveToneCount), "12");
    EXPECT_EQ("5", text(kFiveToneCount));
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4", "5"}), items(kNumber));
    EXPECT_EQ(0, selected(kNumber));

    // 0 leaves the list as it was.
    set_text(control(kFiveToneCount), "0");
    EXPECT_EQ(5u, items(kNumber).size());

    // Each entry keeps its own text; more than five characters are cut.
    set_text(control(kFiveTone), "123456");
    select_combo_item(control(kNumber), 1);
    ASSERT_TRUE(wait_until([&] { return text(kFiveTone).empty(); }));
    set_text(control(kFiveTone), "22222");
    select_combo_item(control(kNumber), 0);
    ASSERT_TRUE(wait_until([&] { return text(kFiveTone) == "12345"; }));
    select_combo_item(control(kNumber), 1);
    EXPECT_TRUE(wait_until([&] { return text(kFiveTone) == "22222"; }));
}

TEST_F(ConfigWindowTest, AlarmSelectorKeepsEachAlarmsText) {
    ASSERT_TRUE(open_connected());
    set_text(control(kCoding), "ON05");
    select_combo_item(control(kAlarmSelector), 3);
    ASSERT_TRUE(wait_until([&] { return text(kCoding).empty(); }));
    set_text(control(kCoding), "R10");
    select_combo_item(control(kAlarmSelector), 0);
    ASSERT_TRUE(wait_until([&] { return text(kCoding) == "ON05"; }));
    select_combo_item(control(kAlarmSelector), 3);
    EXPECT_TRUE(wait_until([&] { return text(kCoding) == "R10"; }));
}

TEST_F(ConfigWindowTest, CodingTakesAtMost54Characters) {
    ASSERT_TRUE(open_connected());
    EXPECT_EQ(54, SendMessageA(control(kCoding), EM_GETLIMITTEXT, 0, 0));
}

TEST_F(ConfigWindowTest, TabMovesTheFocusToTheNextIdAndRoundAgain) {
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(wait_until([&] { return focused_id() == kAlarmSelector; }));
    select_combo_item(control(kRelayFiveTone), 0);  // enables the double-tone choice
    ASSERT_TRUE(wait_until([&] { return is_enabled(control(kRelayDoubleTone)); }));
    for (int id = 0; id <= kProgram; ++id) {
        PostMessageA(control(id), WM_KEYDOWN, VK_TAB, 0);
        const int next = id == kProgram ? kAlarmSelector : id + 1;
        EXPECT_TRUE(wait_until([&] { return focused_id() == next; })) << "Tab from " << id << " gave " << focused_id();
    }
    // A disabled control is passed over rather than trapping the keyboard.
    select_combo_item(control(kRelayFiveTone), 11);
    ASSERT_TRUE(wait_until([&] { return !is_enabled(control(kRelayDoubleTone)); }));
    PostMessageA(control(kRelayFiveTone), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(wait_until([&] { return focused_id() == kOnTime; })) << focused_id();

    // A plain left click gives the focus to the clicked control.
    PostMessageA(control(kFiveTone), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(control(kFiveTone), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(wait_until([&] { return focused_id() == kFiveTone; }));
}

// ---- Field errors ----------------------------------------------------------

TEST_F(ConfigWindowTest, FieldErrorsAreShownAndStartNothing) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    // Empty fields: the first alarm text is the first error.
    click(control(kSave));
    EXPECT_TRUE(box(kCaptionForm, "Fehler: Codierung !", IconKind::error));

    ASSERT_TRUE(read_device());
    ASSERT_TRUE(sim("log clear"));
    struct Case {
        int id;
        const char* bad;
        const char* message;
    };
    const Case cases[] = {
        {kCoding, "ON5", "Fehler: Codierung !"},
        {kDeadTime, "181", "Fehler: Totzeit !"},
        {kAlarmPause, "", "Fehler: Alarmpause !"},
        {kFiveTone, "1234", "Fehler: 5-Ton !"},
        {kOnTime, "181", "Fehler: Zusatzrelais !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string good = text(c.id);
        set_text(control(c.id), c.bad);
        for (int command : {kSave, kVerify, kProgram}) {
            click(control(command));
            EXPECT_TRUE(box(kCaptionForm, c.message, IconKind::error, kShortWait)) << command;
        }
        set_text(control(c.id), good);
    }
    // "Anzahl-5Ton" empty: the count's own message.
    set_text(control(kFiveToneCount), "");
    click(control(kProgram));
    EXPECT_TRUE(box(kCaptionForm, "Fehler: Anzahl-5Ton !", IconKind::error, kShortWait));
    EXPECT_TRUE(sim_frames().empty());
    EXPECT_EQ(nullptr, open_dialog(program));
}

// ---- The configuration file -------------------------------------------------

TEST_F(ConfigWindowTest, SaveWritesTheRecordOfTheFields) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    set_text(control(kDeadTime), "45");
    const std::string path = temp_path("saved.zcf");
    DeleteFileA(path.c_str());
    click(control(kSave));
    ASSERT_TRUE(choose_file(path));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(wait_until([&] { return read_file(path, bytes) && bytes.size() == 133; }));
    std::vector<uint8_t> expected = known_record();
    expected[96] = 45;
    EXPECT_EQ(file_bytes_for(expected), bytes);
    EXPECT_EQ(nullptr, open_dialog(program));  // a successful save says nothing

    // A name typed without an extension is saved as a configuration file.
    const std::string bare = temp_path("bare");
    DeleteFileA((bare + ".zcf").c_str());
    click(control(kSave));
    ASSERT_TRUE(choose_file(bare));
    EXPECT_TRUE(wait_until([&] { return read_file(bare + ".zcf", bytes) && bytes.size() == 133; }));
}

TEST_F(ConfigWindowTest, ZavctlReadWritesWhatLesenThenSichernWrite) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    const std::string by_window = temp_path("by-window.zcf");
    DeleteFileA(by_window.c_str());
    click(control(kSave));
    ASSERT_TRUE(choose_file(by_window));
    std::vector<uint8_t> saved;
    ASSERT_TRUE(wait_until([&] { return read_file(by_window, saved) && saved.size() == 133; }));

    const std::string by_tool = temp_path("by-zavctl.zcf");
    DeleteFileA(by_tool.c_str());
    ToolRun run;
    ASSERT_TRUE(run_tool("--port COM1 read -o \"" + by_tool + "\"", run));
    ASSERT_EQ(0u, run.exit_code) << run.err;
    std::vector<uint8_t> read_by_tool;
    ASSERT_TRUE(read_file(by_tool, read_by_tool));
    EXPECT_EQ(saved, read_by_tool);
}

// A save that cannot finish leaves the file it was to replace as it was,
// and nothing beside it: neither a file that another program holds open,
// nor a disk that fills up half-way through the write.
TEST_F(ConfigWindowTest, SaveThatCannotReplaceTheFileSaysSoAndKeepsIt) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    const std::string folder = fresh_folder("sichern-gehalten");
    const std::string path = folder + "\\locked.zcf";
    ASSERT_TRUE(write_file(path, {1, 2, 3}));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    click(control(kSave));
    ASSERT_TRUE(choose_file(path, true));
    EXPECT_TRUE(box(kCaptionFile, "Datei kann nicht angelegt werden !", IconKind::error));
    CloseHandle(held);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_file(path, bytes));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), bytes);
    EXPECT_EQ(std::vector<std::string>{"locked.zcf"}, files_in(folder));
}

TEST_F(ConfigWindowTest, SaveOntoADiskThatFillsUpKeepsThePreviousFile) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    const std::string folder = fresh_folder("sichern-voll");
    const std::string path = folder + "\\anlage.zcf";
    std::vector<uint8_t> previous_record = known_record();
    previous_record[96] = 99;
    const std::vector<uint8_t> previous = file_bytes_for(previous_record);
    ASSERT_TRUE(write_file(path, previous));

    std::string outcome;
    ASSERT_TRUE(fill_disk_after(program, 64, outcome)) << outcome;
    click(control(kSave));
    ASSERT_TRUE(choose_file(path, true));
    EXPECT_TRUE(box(kCaptionFile, "Dateifehler", IconKind::error));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_file(path, bytes));
    EXPECT_TRUE(bytes == previous) << "the previous file was destroyed: " << bytes.size() << " bytes now";
    EXPECT_EQ(std::vector<std::string>{"anlage.zcf"}, files_in(folder));
}

TEST_F(ConfigWindowTest, LoadFillsTheFieldsFromTheFile) {
    ASSERT_TRUE(open_connected());
    const std::string path = temp_path("known.zcf");
    ASSERT_TRUE(write_file(path, file_bytes_for(known_record())));
    click(control(kLoad));
    ASSERT_TRUE(choose_file(path));
    ASSERT_TRUE(box(kCaptionFile, "Konfigurations-Datei gelesen !", IconKind::information));
    EXPECT_EQ("ON05,H1220,OFF05", text(kCoding));
    EXPECT_EQ("30", text(kDeadTime));
    EXPECT_EQ("60", text(kAlarmPause));
    EXPECT_EQ(2, selected(kAlarmMemory));
    EXPECT_EQ("3", text(kFiveToneCount));
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), items(kNumber));
    EXPECT_EQ("12345", text(kFiveTone));
    EXPECT_EQ(1, selected(kManual));
    EXPECT_EQ(0, selected(kRelaySelector));
    EXPECT_EQ(0, selected(kRelayFiveTone));
    EXPECT_EQ(1, selected(kRelayDoubleTone));
    EXPECT_EQ("10", text(kOnTime));
    // The fields take notice again: another alarm shows its text.
    select_combo_item(control(kAlarmSelector), 1);
    EXPECT_TRUE(wait_until([&] { return text(kCoding) == "R03"; }));
}

TEST_F(ConfigWindowTest, RefusedFilesLeaveFieldsAndRecordAlone) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    const Fields before = fields();

    // Every refused file differs from the record in a byte no field shows
    // (5-tone entry 9): had it reached the record, programming would send it.
    std::vector<uint8_t> other = known_record();
    std::memcpy(&other[46], "13579", 5);
    other[96] = 99;
    std::vector<uint8_t> good = file_bytes_for(other);

    std::vector<uint8_t> bad_header = good;
    bad_header[0] = 'z';  // letter case counts
    std::vector<uint8_t> short_record(good.begin(), good.begin() + 100);
    std::vector<uint8_t> no_sum(good.begin(), good.begin() + 131);
    std::vector<uint8_t> bad_sum = good;
    bad_sum[131] ^= 0x01;

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"header.zcf", bad_header, "Ungültige Datei !"},
        {"tiny.zcf", {'Z', 'A', 'V'}, "Ungültige Datei !"},
        {"short.zcf", short_record, "Dateifehler"},
        {"nosum.zcf", no_sum, "Checksummen Fehler !"},
        {"badsum.zcf", bad_sum, "Checksummen Fehler !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = temp_path(c.name);
        ASSERT_TRUE(write_file(path, c.bytes));
        click(control(kLoad));
        ASSERT_TRUE(choose_file(path));
        EXPECT_TRUE(box(kCaptionFile, c.message, IconKind::error));
        EXPECT_TRUE(before == fields());
    }
    // A missing file, after the dialog's own question.
    const std::string missing = temp_path("missing.zcf");
    DeleteFileA(missing.c_str());
    click(control(kLoad));
    ASSERT_TRUE(choose_file(missing, true));
    EXPECT_TRUE(box(kCaptionFile, "Datei nicht vorhanden !", IconKind::error));
    EXPECT_TRUE(before == fields());

    // The record still is the device's.
    click(control(kProgram));
    ASSERT_TRUE(box(kCaptionFile, "Programmierung erfolgreich !", IconKind::information));
    EXPECT_EQ(known_record(), device_record());
}

TEST_F(ConfigWindowTest, ALongerFileAndADcfFileLoad) {
    ASSERT_TRUE(open_connected());
    std::vector<uint8_t> bytes = file_bytes_for(known_record());
    bytes.insert(bytes.end(), {1, 2, 3, 4});
    const std::string path = temp_path("old.dcf");
    ASSERT_TRUE(write_file(path, bytes));
    click(control(kLoad));
    ASSERT_TRUE(choose_file(path));
    EXPECT_TRUE(box(kCaptionFile, "Konfigurations-Datei gelesen !", IconKind::information));
    EXPECT_EQ("30", text(kDeadTime));
}

TEST_F(ConfigWindowTest, UnusedRelayBytesOfADeviceWithoutRelaysDoNotBlockASave) {
    ASSERT_TRUE(sim("options 1F01"));  // five alarms, five addresses, no relays
    ASSERT_TRUE(open_connected());
    std::vector<uint8_t> record = known_record();
    std::fill(record.begin() + 100, record.end(), 0xFF);  // on-times 255 in all four relays
    const std::string loaded = temp_path("norelays.zcf");
    ASSERT_TRUE(write_file(loaded, file_bytes_for(record)));
    click(control(kLoad));
    ASSERT_TRUE(choose_file(loaded));
    ASSERT_TRUE(box(kCaptionFile, "Konfigurations-Datei gelesen !", IconKind::information));

    const std::string saved = temp_path("norelays-saved.zcf");
    DeleteFileA(saved.c_str());
    click(control(kSave));
    ASSERT_TRUE(choose_file(saved));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(wait_until([&] { return read_file(saved, bytes) && bytes.size() == 133; }));
    EXPECT_EQ(file_bytes_for(record), bytes);
    EXPECT_EQ(nullptr, open_dialog(program));  // no message
}

TEST_F(ConfigWindowTest, ReopenedWindowShowsEmptyFieldsButKeepsTheTexts) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    close_window();
    ASSERT_TRUE(open_window());
    EXPECT_EQ("", text(kCoding));
    EXPECT_EQ("", text(kDeadTime));
    EXPECT_EQ("", text(kAlarmPause));
    EXPECT_EQ("", text(kFiveToneCount));
    EXPECT_EQ("", text(kFiveTone));
    EXPECT_EQ("0", text(kOnTime));
    EXPECT_TRUE(items(kNumber).empty());
    // Another alarm still shows its text from before.
    select_combo_item(control(kAlarmSelector), 1);
    EXPECT_TRUE(wait_until([&] { return text(kCoding) == "R03"; }));
}

// ---- Device commands -------------------------------------------------------

TEST_F(ConfigWindowTest, ReadShowsTheDevicesRecordAndTheBarsRange) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(sim("pace on"));
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(sim("log clear"));
    click(control(kRead));
    // The buttons are disabled while the read runs; the bar follows it.
    EXPECT_TRUE(wait_until([&] { return !is_enabled(control(kRead)); }));
    int highest = 0;
    HWND bar = control(kProgress);
    MessageBoxInfo info;
    ASSERT_TRUE(wait_until(
        [&] {
            highest = std::max(highest, static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)));
            return find_program_window(program, "#32770", kCaptionFile) != nullptr;
        },
        kTransactionWait));
    EXPECT_EQ(12, highest);
    EXPECT_EQ(13, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    ASSERT_TRUE(box(kCaptionFile, "Konfiguration gelesen !", IconKind::information));
    for (int id = kLoad; id <= kProgram; ++id) EXPECT_TRUE(is_enabled(control(id))) << id;
    EXPECT_EQ(1, program_frames('-'));

    EXPECT_EQ("ON05,H1220,OFF05", text(kCoding));
    EXPECT_EQ("30", text(kDeadTime));
    EXPECT_EQ("60", text(kAlarmPause));
    EXPECT_EQ("3", text(kFiveToneCount));
    EXPECT_EQ("12345", text(kFiveTone));
    EXPECT_EQ("10", text(kOnTime));
}

TEST_F(ConfigWindowTest, ErasedDeviceChangesNothing) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    set_text(control(kDeadTime), "77");
    const Fields before = fields();
    ASSERT_TRUE(sim("erase"));
    click(control(kRead));
    EXPECT_TRUE(box(kCaptionFile, "ZAV enthält keine Konfigurationsdaten !", IconKind::error));
    EXPECT_TRUE(before == fields());
}

TEST_F(ConfigWindowTest, ProgramThenVerify) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(sim("pace on"));
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    set_text(control(kDeadTime), "42");
    set_text(control(kCoding), "OFF01 R02");
    ASSERT_TRUE(sim("log clear"));
    click(control(kProgram));
    HWND bar = control(kProgress);
    int highest = 0;
    ASSERT_TRUE(wait_until(
        [&] {
            highest = std::max(highest, static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)));
            return find_program_window(program, "#32770", kCaptionFile) != nullptr;
        },
        kTransactionWait));
    EXPECT_EQ(6, highest);
    EXPECT_EQ(6, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    ASSERT_TRUE(box(kCaptionFile, "Programmierung erfolgreich !", IconKind::information));

    // Identification first, then programming.
    std::vector<uint8_t> commands;
    for (const SimFrame& f : sim_frames()) {
        if (!f.from_device && f.payload.size() == 1 && (f.payload[0] == '+' || f.payload[0] == '.'))
            commands.push_back(f.payload[0]);
    }
    EXPECT_EQ((std::vector<uint8_t>{'+', '.'}), commands);

    std::vector<uint8_t> expected = known_record();
    expected[96] = 42;
    expected[51] = 0x01;
    expected[52] = 0xC2;
    expected[53] = 0xFF;
    EXPECT_EQ(expected, device_record());

    click(control(kVerify));
    EXPECT_TRUE(box(kCaptionFile, "Verifikation OK !", IconKind::information));

    // A changed count is the first difference.
    set_text(control(kFiveToneCount), "2");
    click(control(kVerify));
    EXPECT_TRUE(box(kCaptionFile, "Fehler ab Adresse: 0", IconKind::error));
}

// What a newcomer does first: read the device as it comes, program it back
// and verify it. The device's own record must pass the form unchanged.
TEST_F(ConfigWindowTest, TheDevicesOwnRecordGoesBackUnchanged) {
    ASSERT_TRUE(open_connected());
    std::vector<uint8_t> before = device_record();
    ASSERT_EQ(108u, before.size());
    ASSERT_TRUE(read_device());
    click(control(kProgram));
    ASSERT_TRUE(box(kCaptionFile, "Programmierung erfolgreich !", IconKind::information));
    EXPECT_EQ(before, device_record());
    click(control(kVerify));
    EXPECT_TRUE(box(kCaptionFile, "Verifikation OK !", IconKind::information));
}

TEST_F(ConfigWindowTest, AnotherSetupBlockIsNotProgrammed) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    ASSERT_TRUE(sim("version 2.31"));
    ASSERT_TRUE(sim("log clear"));
    set_text(control(kDeadTime), "99");
    click(control(kProgram));
    EXPECT_TRUE(box(kCaptionFile, "Typ-Konflikt,Programmierung nicht möglich !", IconKind::error));
    EXPECT_EQ(1, program_frames('+'));
    EXPECT_EQ(0, program_frames('.'));
    EXPECT_EQ(known_record(), device_record());

    // The window kept the block it was edited for: with the device as it
    // was, programming goes through.
    ASSERT_TRUE(sim("version 2.30"));
    click(control(kProgram));
    EXPECT_TRUE(box(kCaptionFile, "Programmierung erfolgreich !", IconKind::information));
    EXPECT_EQ(99, device_record()[96]);
}

TEST_F(ConfigWindowTest, SilentDeviceEndsWithConnectionLost) {
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(sim("fault silent"));
    click(control(kRead));
    EXPECT_TRUE(box(kCaptionFile, "Verbindung unterbrochen !", IconKind::error));
    EXPECT_TRUE(is_enabled(control(kRead)));
}

TEST_F(ConfigWindowTest, RefusedBlockEndsWithUpdateError) {
    ASSERT_TRUE(use_known_record());
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(read_device());
    ASSERT_TRUE(sim("fault refuse-block 2"));
    click(control(kProgram));
    EXPECT_TRUE(box(kCaptionFile, "Fehler beim Konfig-Update !", IconKind::error));
}

TEST_F(ConfigWindowTest, ClosingDuringAReadShowsNothingAndTheNextConnectWorks) {
    ASSERT_TRUE(sim("pace on"));
    ASSERT_TRUE(open_connected());
    ASSERT_TRUE(sim("log clear"));
    click(control(kRead));
    ASSERT_TRUE(wait_until([&] { return program_frames('-') >= 1; }));
    close_window();
    // No box, not even once the rest of the read would have been over.
    EXPECT_FALSE(wait_until([&] { return open_dialog(program) != nullptr; }, 2500));
    EXPECT_TRUE(connect());
}

}  // namespace
}  // namespace zavtest
