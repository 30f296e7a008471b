// The program as the Debian package starts it: /usr/bin/zavkonfig runs
// zavkonfig.exe under Wine in the user's own prefix, with the chosen device
// as COM1. run_deb_test.sh starts the launcher, then one of these tests
// (--gtest_filter) in the prefix the launcher made; the test finds the
// running program, lets it connect and closes it. Which device answered is
// for the script to tell, from each virtual device's log.
#include <windows.h>

#include "harness.h"

namespace zavtest {
namespace {

class InstalledProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(attach_program(program_, 60000)) << "no main window of zavkonfig.exe";
    }

    void TearDown() override { end_program(program_); }

    // "Verbinden..", and the message box it ends with, pressed away.
    void connect(const char* caption, const char* text, int timeout_ms) {
        post_menu_command(program_.main_window, kMenuConnect);
        MessageBoxInfo box;
        ASSERT_TRUE(wait_message_box(program_, caption, box, timeout_ms))
            << "no message box \"" << caption << "\" within " << timeout_ms << " ms";
        EXPECT_EQ(text, box.text);
        ASSERT_TRUE(press_ok(box));
    }

    // Closing the window ends the program, with exit code 0.
    void close() {
        PostMessageA(program_.main_window, WM_CLOSE, 0, 0);
        DWORD exit_code = 1234;
        EXPECT_TRUE(wait_program_exit(program_, exit_code));
        EXPECT_EQ(0u, exit_code);
    }

    Program program_;
};

TEST_F(InstalledProgramTest, FindsTheDeviceOnCom1AndEndsWithCodeZero) {
    connect("ZAV-Verbinden", "ZAV 160 erkannt", kTransactionWait);
    close();
}

// Started without its device, the program must not find another port
// behind COM1: opening it fails at once instead of a search that times out.
TEST_F(InstalledProgramTest, WithoutTheDeviceSaysAtOnceThatCom1CannotBeOpened) {
    connect("ZAV-Setup", "Port COM1 konnte nicht geöffnet werden !", kShortWait);
    close();
}

}  // namespace
}  // namespace zavtest
