// The program as the Debian package starts it: /usr/bin/zavkonfig runs
// zavkonfig.exe under Wine in the user's own prefix, with the chosen device
// as COM1. run_deb_test.sh starts the launcher, then this test program in
// the prefix the launcher made; the test finds the running program, lets it
// find the device and closes it.
#include <windows.h>

#include "harness.h"

namespace zavtest {
namespace {

TEST(InstalledProgramTest, ShowsItsWindowFindsTheDeviceOnCom1AndEndsWithCodeZero) {
    Program program;
    ASSERT_TRUE(attach_program(program, 60000)) << "no main window of zavkonfig.exe";
    post_menu_command(program.main_window, kMenuConnect);
    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box(program, "ZAV-Verbinden", box, kTransactionWait));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));

    PostMessageA(program.main_window, WM_CLOSE, 0, 0);
    DWORD exit_code = 1234;
    EXPECT_TRUE(wait_program_exit(program, exit_code));
    EXPECT_EQ(0u, exit_code);
    end_program(program);
}

}  // namespace
}  // namespace zavtest
