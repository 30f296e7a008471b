// The device vanishes in the middle of a transaction: the virtual device
// hangs its terminal up (as a pulled USB adapter does) at a chosen frame or
// byte, or when told. The program must end the transaction with its failure
// message after the protocol's waits, must not burn the processor meanwhile,
// and must work again once the device is back.
#include <windows.h>
#include <commctrl.h>

#include "fault_fixture.h"

namespace zavtest {
namespace {

// While a transaction waits for a dead line, the program and the prefix's
// server are nearly idle: together a few per cent of the wall time. A
// thread that spins keeps them busy for most of a core (a read re-issued
// without end: about a third each, the two taking turns), and still for
// well over a third of one on a loaded two-core machine. The figures
// themselves are tools/bench's.
constexpr double kIdleShare = 0.20;

// Five unanswered sends take the protocol 7.5 s (three silent waits of
// 500 ms each); a loaded machine may stretch that, a hang would not end.
constexpr double kFiveSendsAtMost = 20.0;

class VanishTest : public FaultTest {
protected:
    CpuWatch whole;
    int idle_threads = -1;

    void watch_program() {
        const int pid = program_unix_pid(program);
        ASSERT_GT(pid, 0) << "the program's Unix process was not found";
        ASSERT_TRUE(whole.start(pid, wineserver_unix_pid()))
            << "the CPU time of the program or the prefix's wineserver cannot be read";
        UnixUsage usage;
        ASSERT_TRUE(unix_usage(pid, usage) && usage.threads >= 0);
        idle_threads = usage.threads;
    }

    int threads() const {
        UnixUsage usage;
        return unix_usage(whole.program_pid, usage) ? usage.threads : -1;
    }

    // Starts the transaction's command (posted, returns at once), waits for
    // the line to die and samples the program and the prefix's server over
    // a quiet stretch while the program waits on the dead line. The test
    // itself keeps still meanwhile: its polling for windows would load the
    // server too.
    void sample_dead_line() {
        ASSERT_TRUE(wait_until([&] { return line_down(); }, kTransactionWait))
            << "the line did not go down";
        CpuWatch quiet;
        ASSERT_TRUE(quiet.start(whole.program_pid, whole.server_pid));
        Sleep(1200);
        const double wall = quiet.wall();
        const double program_cpu = quiet.program_cpu();
        const double server_cpu = quiet.server_cpu();
        std::printf("    [dead line] %.1f s: program CPU %.2f s (%.1f %%), wineserver CPU %.2f s (%.1f %%)\n", wall,
                    program_cpu, 100 * program_cpu / wall, server_cpu, 100 * server_cpu / wall);
        EXPECT_GE(program_cpu, 0);
        EXPECT_GE(server_cpu, 0);
        EXPECT_LT(program_cpu + server_cpu, kIdleShare * wall) << "the program spins on the dead line";
    }

    bool line_down() {
        std::string reply;
        return sim_command("get stats", reply) && reply.find("line=down") != std::string::npos;
    }

    // Called once the failure box has been read: the program's CPU time over
    // the whole transaction, the test's own polling included in the wall
    // time only.
    void expect_no_spinning() {
        const double wall = whole.wall();
        const double program_cpu = whole.program_cpu();
        std::printf("    [whole] %.1f s: program CPU %.2f s (%.1f %%)\n", wall, program_cpu, 100 * program_cpu / wall);
        EXPECT_GE(program_cpu, 0);
        EXPECT_LT(program_cpu, kIdleShare * wall) << "the program spins while the line is dead";
        // The link threads of the failed transaction are gone.
        EXPECT_TRUE(wait_until([&] { return threads() == idle_threads; }))
            << "threads: " << threads() << ", before the transaction: " << idle_threads;
    }

    // Clicks a button and samples the dead line before awaiting the box.
    Outcome run_dying(HWND button, const char* caption) {
        const DWORD since = GetTickCount();
        click(button);
        sample_dead_line();
        return await_box(caption, since, 2 * kTransactionWait);
    }

    // Back on the same COM1: the line comes back, nothing is held open.
    void bring_back() { ASSERT_TRUE(sim("appear")); }
};

TEST_F(VanishTest, ConnectToleratesALineThatDiesAtTheCommand) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim("fault vanish-after-frames 1"));
    watch_program();
    const DWORD since = GetTickCount();
    post_menu_command(kMenuConnect);
    sample_dead_line();
    Outcome outcome = await_box(kConnectCaption, since);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kNotFound, outcome.text);
    EXPECT_EQ(IconKind::error, outcome.icon);
    // Five sends, three silent waits of 500 ms each.
    EXPECT_GE(outcome.seconds, 6.5);
    EXPECT_LE(outcome.seconds, kFiveSendsAtMost);
    expect_no_spinning();

    // While the device is gone, the port itself cannot be opened.
    post_menu_command(kMenuConnect);
    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box(kSetupCaption, box));
    EXPECT_EQ(kPortBusy, box.text);
    EXPECT_EQ(IconKind::error, box.icon);
    press_ok(box);

    bring_back();
    EXPECT_TRUE(connected());
}

TEST_F(VanishTest, ReadToleratesALineThatDiesBetweenBlocks) {
    ASSERT_TRUE(configuration_ready());
    // The read command and three block acknowledgements pass; the fifth
    // frame of the program finds the line dead.
    ASSERT_TRUE(sim("fault vanish-after-frames 5"));
    watch_program();
    Outcome outcome = run_dying(config_control(kConfigRead), kConfigCaption);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kLinkLost, outcome.text);
    EXPECT_EQ(IconKind::error, outcome.icon);
    // Three silent waits take 1.5 s; the five sends of a command would take 7.5 s.
    EXPECT_LE(outcome.seconds, 6.5) << "a read gives up after three silent waits";
    expect_no_spinning();
    EXPECT_TRUE(config_buttons_enabled());

    bring_back();
    Outcome again = run_config(kConfigRead);
    EXPECT_EQ("Konfiguration gelesen !", again.text);
}

TEST_F(VanishTest, ReadToleratesALineThatDiesWhenTold) {
    ASSERT_TRUE(configuration_ready());
    // At the line's pace the read takes long enough to pull the plug midway.
    ASSERT_TRUE(sim("pace on"));
    watch_program();
    const DWORD since = GetTickCount();
    click(config_control(kConfigRead));
    HWND bar = config_control(kConfigProgress);
    ASSERT_TRUE(wait_until([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) >= 3; }, kShortWait));
    ASSERT_TRUE(sim("vanish"));
    sample_dead_line();
    Outcome outcome = await_box(kConfigCaption, since);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kLinkLost, outcome.text);
    expect_no_spinning();

    bring_back();
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);
}

TEST_F(VanishTest, ProgrammingToleratesALineThatDiesInsideABlock) {
    ASSERT_TRUE(fields_ready());
    // An erased memory shows whether any part of the broken block was kept.
    ASSERT_TRUE(sim("erase"));
    const std::vector<uint8_t> before = device_record();
    // The identification (3 + 3 bytes), the program command (3 bytes) and
    // part of block 0 pass, then the line dies in the middle of the block.
    ASSERT_TRUE(sim("fault vanish-after-bytes 20"));
    watch_program();
    Outcome outcome = run_dying(config_control(kConfigProgram), kConfigCaption);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kLinkLost, outcome.text);
    EXPECT_EQ(IconKind::error, outcome.icon);
    EXPECT_GE(outcome.seconds, 6.5) << "five sends of the block, three silent waits each";
    EXPECT_LE(outcome.seconds, kFiveSendsAtMost);
    expect_no_spinning();
    EXPECT_EQ(before, device_record()) << "a block broken off midway must not be stored";

    bring_back();
    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
}

TEST_F(VanishTest, ProgrammingToleratesALineThatDiesAfterSomeBlocks) {
    ASSERT_TRUE(fields_ready());
    // Identification: '+' and the answer F0; then '.', blocks 0, 1 and 2
    // are written; block 3 finds the line dead.
    ASSERT_TRUE(sim("fault vanish-after-frames 7"));
    watch_program();
    Outcome outcome = run_dying(config_control(kConfigProgram), kConfigCaption);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kLinkLost, outcome.text);
    expect_no_spinning();

    bring_back();
    // The device holds a partly written record now; a new programming
    // completes it.
    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
}

TEST_F(VanishTest, SetupWriteToleratesALineThatDiesAtTheBlock) {
    ASSERT_TRUE(setup_ready());
    std::vector<uint8_t> before;
    ASSERT_TRUE(sim_setup_block(before));
    // The setup write command passes; the setup block finds the line dead.
    ASSERT_TRUE(sim("fault vanish-after-frames 2"));
    watch_program();
    Outcome outcome = run_dying(setup_control(kSetupProgram), kSetupCaption);
    ASSERT_TRUE(outcome.box);
    EXPECT_EQ(kLinkLost, outcome.text);
    EXPECT_EQ(IconKind::error, outcome.icon);
    EXPECT_GE(outcome.seconds, 6.5);
    EXPECT_LE(outcome.seconds, kFiveSendsAtMost);
    expect_no_spinning();
    EXPECT_TRUE(setup_buttons_enabled());

    bring_back();
    std::vector<uint8_t> after;
    ASSERT_TRUE(sim_setup_block(after));
    EXPECT_EQ(before, after);
    EXPECT_EQ("Programmierung erfolgreich !", run_setup(kSetupProgram).text);
    EXPECT_EQ("Setup gelesen !", run_setup(kSetupRead).text);
}

TEST_F(VanishTest, SetupReadToleratesALineThatDiesAtTheCommand) {
    ASSERT_TRUE(start(kAccessCode));
    ASSERT_TRUE(open_setup());
    ASSERT_TRUE(sim("fault vanish-after-frames 1"));
    watch_program();
    Outcome outcome = run_dying(setup_control(kSetupRead), kSetupCaption);
    EXPECT_EQ(kLinkLost, outcome.text);
    expect_no_spinning();
    bring_back();
    EXPECT_EQ("Setup gelesen !", run_setup(kSetupRead).text);
}

}  // namespace
}  // namespace zavtest
