// A port that another program holds: every command that would open it says
// so with "Port COM1 konnte nicht geöffnet werden !" (caption "ZAV-Setup"),
// holds nothing itself, and works as soon as the other program lets go.
//
// Wine (8) lets a second Windows process open a COM port that another holds
// unshared, and root passes a terminal's exclusive mode, so the holder is
// played by the virtual device: "hold" makes the port impossible to open
// while the device stays as it is, "release" gives it back.
#include <functional>

#include "fault_fixture.h"

namespace zavtest {
namespace {

class PortHeldTest : public FaultTest {
protected:
    ::testing::AssertionResult hold_port() {
        return sim("hold") ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "zavsim cannot hold";
    }
    void let_go() { EXPECT_TRUE(sim("release")); }

    // Runs the command (posted) and expects the open-failure box.
    void expect_port_busy(const char* what, const std::function<void()>& command) {
        SCOPED_TRACE(what);
        command();
        MessageBoxInfo box;
        ASSERT_TRUE(wait_message_box(kSetupCaption, box)) << "no open-failure box";
        EXPECT_EQ(kPortBusy, box.text);
        EXPECT_EQ(IconKind::error, box.icon);
        press_ok(box);
    }
};

TEST_F(PortHeldTest, EveryTransactionSaysThePortIsBusyAndWorksOnceItIsFree) {
    ASSERT_TRUE(fields_ready());
    const int pid = program_unix_pid(program);
    const int server_pid = wineserver_unix_pid();
    UnixUsage before;
    ASSERT_TRUE(unix_usage(pid, before) && before.threads >= 0) << "the program's threads cannot be read from /proc";
    // Between transactions the port is closed: neither the program nor the
    // prefix's server (which keeps a descriptor for every open file) holds
    // the line.
    EXPECT_EQ(0, line_descriptors(pid)) << "the program holds the line after a read";
    EXPECT_EQ(0, line_descriptors(server_pid)) << "the prefix's server holds the line after a read";

    ASSERT_TRUE(hold_port());
    expect_port_busy("read", [&] { click(config_control(kConfigRead)); });
    expect_port_busy("verify", [&] { click(config_control(kConfigVerify)); });
    expect_port_busy("program", [&] { click(config_control(kConfigProgram)); });
    EXPECT_TRUE(config_buttons_enabled());
    close_window(config);
    expect_port_busy("connect", [&] { post_menu_command(kMenuConnect); });
    ASSERT_TRUE(open_setup());
    expect_port_busy("setup read", [&] { click(setup_control(kSetupRead)); });
    EXPECT_TRUE(setup_buttons_enabled());

    // Nothing of the failed opens stays behind.
    ASSERT_TRUE(sync_with_program(program));
    UnixUsage after;
    ASSERT_TRUE(unix_usage(pid, after));
    EXPECT_EQ(before.threads, after.threads);
    EXPECT_EQ(0, line_descriptors(pid)) << "the program holds the line after the failed opens";
    EXPECT_EQ(0, line_descriptors(server_pid)) << "the prefix's server holds the line after the failed opens";

    let_go();
    EXPECT_EQ("Setup gelesen !", run_setup(kSetupRead).text);
    close_window(setup);
    EXPECT_TRUE(connected());
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);

    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
}

}  // namespace
}  // namespace zavtest
