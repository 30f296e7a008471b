// End-to-end test harness: drives zavkonfig.exe under Wine from a separate
// Windows test program, against the virtual device zavsim.
//
// HOW TO ADD TESTS
//   Put a file tests/wine/<topic>_test.cpp next to the others; it is picked up
//   by the build (no CMake edit). Derive the tests from ProgramTest:
//
//     #include "harness.h"
//     using namespace zavtest;
//     TEST_F(ProgramTest, ConnectFindsTheDevice) {
//         ASSERT_TRUE(start());                         // or start("618wqe402h9")
//         post_menu_command(kMenuConnect);
//         MessageBoxInfo box;
//         ASSERT_TRUE(wait_message_box("ZAV-Verbinden", box));
//         EXPECT_EQ("ZAV 160 erkannt", box.text);
//         EXPECT_EQ(IconKind::information, box.icon);
//         ASSERT_TRUE(press_ok(box));
//     }
//
//   ProgramTest resets the virtual device before each test (default device,
//   no faults, empty frame log) and ends the program after it. Change the
//   device with sim_command("fault silent"), sim_command("version 3.1") etc.
//   (zavsim --help lists the commands) and read what it saw or stored with
//   sim_frames(), sim_stored_record(), sim_setup_block().
//
//   Never sleep as synchronisation: every wait here has a deadline and polls
//   a condition (wait_until). Texts are compared as the program's bytes:
//   the tests are compiled to Windows-1252 like the program.
//
// RUNNING
//   tests/wine/run_wine_tests.sh [--gtest_filter=...]   (after tools/test or a
//   build of both presets) starts Xvfb if needed, a private Wine prefix,
//   zavsim as COM1, and the test program; see the script's --help.
//
// The test program learns where things are from its environment, which the
// runner sets: ZAV_EXE (zavkonfig.exe, Windows path), ZAV_SIM_CONTROL (the
// control port of zavsim on 127.0.0.1), ZAV_PROBE_DLL (optional; default
// menu_probe.dll beside the test program).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zavtest {

// Menu command ids of the main window.
constexpr int kMenuConfiguration = 21;
constexpr int kMenuConnect = 22;
constexpr int kMenuSetup = 23;
constexpr int kMenuPort = 30;
constexpr int kMenuVersion = 40;
constexpr int kMenuInfo = 41;

// Control ids of the configuration window.
namespace config_control {
enum : int {
    kAlarmSelector = 0,
    kCoding = 1,
    kDeadTime = 2,
    kAlarmPause = 3,
    kAlarmMemory = 4,
    kFiveToneCount = 5,
    kNumber = 6,
    kFiveTone = 7,
    kManual = 8,
    kRelaySelector = 9,
    kRelayFiveTone = 10,
    kRelayDoubleTone = 11,
    kOnTime = 12,
    kLoad = 13,
    kSave = 14,
    kRead = 15,
    kVerify = 16,
    kProgram = 17,
    kProgress = 18,
};
}  // namespace config_control

// Control ids of the setup window's buttons; its options are ids 0 to 15.
constexpr int kSetupRead = 16;
constexpr int kSetupProgram = 17;

// Control ids of the port dialog: "COM 1" to "COM 12", OK, CANCEL.
constexpr int kFirstPortButton = 103;
constexpr int kPortOk = 115;
constexpr int kPortCancel = 116;

constexpr const char kAccessCode[] = "618wqe402h9";

// Bytes as hexadecimal text, two digits a byte: what zavsim's "record"
// command takes.
std::string hex_text(const std::vector<uint8_t>& bytes);

// Default time limits (milliseconds). A silent device takes about 7.5 s to
// give up, so transaction waits allow well beyond that.
constexpr int kShortWait = 5000;
constexpr int kTransactionWait = 20000;

// Polls cond every 10 ms until it holds or timeout_ms has passed.
template <typename Cond>
bool wait_until(Cond cond, int timeout_ms = kShortWait) {
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (static_cast<int>(GetTickCount() - start) >= timeout_ms) return cond();
        Sleep(10);
    }
}

// ---- The program ----------------------------------------------------------

struct Program {
    PROCESS_INFORMATION process{};
    HWND main_window = nullptr;
    DWORD ui_thread = 0;
    HHOOK probe_hook = nullptr;
};

// Starts zavkonfig.exe; argument_text is put after the quoted program path
// and a blank (nothing at all when empty), so the program sees it exactly.
// Waits for the main window and installs the probe hook on its UI thread.
bool start_program(Program& program, const std::string& argument_text);
// Attaches to a zavkonfig.exe that someone else started in this prefix (the
// Debian package's launcher): waits for its main window, then holds its
// process and hooks the probe in as for a started one.
bool attach_program(Program& program, int timeout_ms);
// Ends the program if it still runs (terminates it) and releases handles.
void end_program(Program& program);
bool program_running(const Program& program);
// Waits for the process to end; false on time-out. exit_code is set on true.
bool wait_program_exit(const Program& program, DWORD& exit_code, int timeout_ms = kShortWait);

// Top-level windows of the program with this class (and caption, when given).
HWND find_program_window(const Program& program, const char* class_name, const char* caption = nullptr);

// ---- Windows and controls -------------------------------------------------

std::string window_text(HWND window);
std::string class_name(HWND window);
RECT window_rect(HWND window);
RECT client_rect(HWND window);
bool is_enabled(HWND window);
bool is_visible(HWND window);
// A child (or grandchild) with this control id; nullptr when there is none.
HWND find_child(HWND parent, int id);
// Every child of parent (all depths) whose class matches (case-insensitive).
std::vector<HWND> find_children_by_class(HWND parent, const char* class_name);
// A direct or indirect child window of this class with this caption.
HWND find_child_by_class(HWND parent, const char* class_name, const char* caption = nullptr);
std::vector<std::string> list_box_items(HWND list);
int list_box_selection(HWND list);
std::vector<std::string> combo_items(HWND combo);
int combo_selection(HWND combo);
bool is_checked(HWND button);
// Posts a click (BN_CLICKED from the control) to its parent. Posting, not
// sending: a handler that opens a modal box would block the test.
void click(HWND button);
// Sets an edit control's text (the program gets EN_CHANGE).
void set_text(HWND edit, const std::string& text);
// Selects a combo box item and notifies the parent with CBN_SELCHANGE, as a
// user's choice would.
void select_combo_item(HWND combo, int index);

// ---- The main window and its menu -----------------------------------------

void post_menu_command(HWND window, int id);

struct MenuEntry {
    int depth = 0;         // 0 on the bar, 1 in a pop-up
    int id = -1;           // -1 for a pop-up
    bool popup = false;
    bool grayed = false;   // MFS_GRAYED / MFS_DISABLED
    std::string text;
};

// The whole menu of a window of the program, read inside the program.
bool read_menu(const Program& program, HWND window, std::vector<MenuEntry>& entries);

// Returns once the program's UI thread has taken every message posted to it
// before this call (through window, or the main window): a barrier for
// checking that something did NOT happen, without sleeping.
bool sync_with_program(const Program& program, HWND window = nullptr);

// Inside the program: queues a close for window and holds the program's UI
// thread until message is posted to window behind it, so that the window
// closes with that message still waiting. false when the message came first
// or not at all (outcome says which).
bool close_ahead_of(HWND window, UINT message, std::string& outcome);

// Inside the program: from now on the disk takes only bytes_left more bytes
// of the program's own file writes; a write beyond them writes what fits and
// fails with ERROR_DISK_FULL, as on a full disk or a share that goes away.
// outcome says why when it cannot be done.
bool fill_disk_after(const Program& program, DWORD bytes_left, std::string& outcome);

enum class ItemState { missing, enabled, grayed, unknown };
// The state of the menu item with this id in the main window's menu.
ItemState menu_item_state(const Program& program, int id);
const char* to_string(ItemState state);

// ---- Message boxes and dialogs --------------------------------------------

enum class IconKind { none, error, information, warning, question, other, unknown };
const char* to_string(IconKind kind);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    IconKind icon = IconKind::unknown;
    HWND owner = nullptr;
};

// Waits for a dialog-class window (#32770) of the program with this caption.
HWND wait_dialog(const Program& program, const char* caption, int timeout_ms = kShortWait);
// Waits for a message box with this caption and reads its text and icon.
bool wait_message_box(const Program& program, const char* caption, MessageBoxInfo& box,
                      int timeout_ms = kShortWait);
// Any message box or dialog of the program that is open now; nullptr if none.
HWND open_dialog(const Program& program);
// Presses the button with this id (OK = 1) and waits for the window to go.
bool press_button_and_wait_closed(HWND dialog, int id, int timeout_ms = kShortWait);
bool press_ok(const MessageBoxInfo& box, int timeout_ms = kShortWait);

// ---- The virtual device (zavsim's control channel) -------------------------

// Sends one control command; reply holds the answer without the final line
// break ("ok ..." or "error ..."; for "log" the following lines too).
bool sim_command(const std::string& command, std::string& reply);
// Sends a command and expects "ok".
bool sim(const std::string& command);

struct SimFrame {
    double seconds = 0;
    bool from_device = false;
    std::vector<uint8_t> payload;
};
// Every frame in zavsim's log; a log that cannot be read fails the test.
std::vector<SimFrame> sim_frames();
// Frames the program sent whose first payload byte is this one.
int count_program_frames(const std::vector<SimFrame>& frames, uint8_t first_byte);
bool sim_stored_record(std::vector<uint8_t>& bytes);  // 110 bytes: record, sum, complement
bool sim_setup_block(std::vector<uint8_t>& bytes);    // 5 bytes

// ---- The program's Unix process ----------------------------------------------
// Wine runs each Windows process as one Unix process and each Windows thread
// as one of its Unix threads, so /proc (seen as Z:\\proc) tells what the
// program costs: CPU time, threads, open descriptors, resident memory.

struct UnixUsage {
    double cpu_seconds = 0;   // user + system time
    int threads = -1;         // entries of /proc/PID/task
    int descriptors = -1;     // entries of /proc/PID/fd
    long rss_kb = -1;         // VmRSS
};

// The Unix pid of the running program: the process whose command line names
// zavkonfig.exe and whose WINEPREFIX is ours; -1 when none is found.
int program_unix_pid(const Program& program);
// The pid of this prefix's wineserver; -1 when none is found.
int wineserver_unix_pid();
bool unix_usage(int pid, UnixUsage& usage);
// The descriptors of the Unix process pid that are open on COM1's line (a
// terminal the virtual device has had, or the folder that stands in for a
// held or vanished line), as the device reads them from /proc; -1 when it
// cannot. Wine opens files of its own when it likes: a count of all of a
// process's descriptors says nothing about the program's port.
int line_descriptors(int pid);
// Windows handles the program holds, as Wine counts them; -1 if unknown.
long program_handle_count(const Program& program);

// ---- zavctl.exe, the command-line tool beside the program -------------------

struct ToolRun {
    DWORD exit_code = 0;
    std::string out;  // what it wrote to standard output
    std::string err;  // and to standard error
};

// Runs zavctl.exe (beside zavkonfig.exe) with this argument text, as a
// console program whose output goes to files; false when it cannot be
// started or has not ended within timeout_ms (it is then terminated).
bool run_tool(const std::string& argument_text, ToolRun& run, int timeout_ms = kTransactionWait);

// ---- Layout ---------------------------------------------------------------

// The layout units the program uses: the system fixed font's average
// character width and character height plus external leading.
void layout_units(int& char_width, int& line_height);

// ---- Fixture --------------------------------------------------------------

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with this argument text and checks it came up.
    ::testing::AssertionResult start(const std::string& argument_text = "");

    // Shorthands on the running program.
    HWND main() const { return program.main_window; }
    void post_menu_command(int id) { zavtest::post_menu_command(program.main_window, id); }
    ItemState item(int id) const { return menu_item_state(program, id); }
    bool wait_message_box(const char* caption, MessageBoxInfo& box, int timeout_ms = kShortWait) {
        return zavtest::wait_message_box(program, caption, box, timeout_ms);
    }

    Program program;
};

}  // namespace zavtest
