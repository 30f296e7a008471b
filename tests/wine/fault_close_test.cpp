// Closing the configuration or the setup window while its transaction runs,
// in each state the transaction can be in: awaiting the acknowledgement, in
// the middle of the blocks, awaiting the completion byte, and finished with
// its end message not yet handled. No message box may follow, the link
// threads must be gone (the process's thread count back at its idle value),
// and the next transaction must work.
#include <windows.h>
#include <commctrl.h>

#include "fault_fixture.h"

namespace zavtest {
namespace {

constexpr UINT kEndMessage = WM_USER + 2;

class CloseTest : public FaultTest {
protected:
    int pid = -1;
    int idle_threads = -1;

    // The thread count with the window open and no transaction running.
    void note_idle() {
        pid = program_unix_pid(program);
        ASSERT_GT(pid, 0);
        UnixUsage usage;
        ASSERT_TRUE(unix_usage(pid, usage));
        idle_threads = usage.threads;
    }

    int threads() const {
        UnixUsage usage;
        return unix_usage(pid, usage) ? usage.threads : -1;
    }

    // The window is gone: no box follows, the threads are back at idle.
    void expect_quiet_end(const char* state) {
        SCOPED_TRACE(state);
        EXPECT_TRUE(sync_with_program(program));
        EXPECT_FALSE(wait_until([&] { return open_dialog(program) != nullptr; }, 1000))
            << "a message box appeared after closing: \"" << window_text(GetDlgItem(open_dialog(program), 0xFFFF))
            << "\"";
        EXPECT_TRUE(wait_until([&] { return threads() == idle_threads; }, 3000))
            << "threads: " << threads() << ", idle: " << idle_threads;
        std::printf("    [close] %s: threads %d (idle %d)\n", state, threads(), idle_threads);
    }

    // Waits until the program has sent a frame that matches.
    template <typename Match>
    ::testing::AssertionResult program_sent(Match match, int timeout_ms = kTransactionWait) {
        if (wait_until(
                [&] {
                    for (const SimFrame& frame : sim_frames())
                        if (!frame.from_device && match(frame.payload)) return true;
                    return false;
                },
                timeout_ms))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the program did not send the awaited frame";
    }

    static bool is_block(const std::vector<uint8_t>& payload, uint8_t number) {
        return payload.size() == 18 && payload[0] == number && payload[1] == 0;
    }

    // Closes the window when its transaction has finished but its end
    // message has not been handled: inside the program, the close is queued
    // and the UI thread held until the worker has ended and posted its end
    // message behind the close. The identification is slowed down (the
    // device's pace and five short frames first) so that the close is queued
    // after the command went out and before the worker ends.
    void close_with_end_message_waiting(HWND& window, HWND button) {
        ASSERT_TRUE(sim("pace on"));
        ASSERT_TRUE(sim("fault wrong-length 5"));
        ASSERT_TRUE(sim("log clear"));
        click(button);
        ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return p == std::vector<uint8_t>{'+'}; }));
        std::string outcome;
        ASSERT_TRUE(close_ahead_of(window, kEndMessage, outcome)) << "the end message " << outcome;
        EXPECT_TRUE(wait_until([&] { return !IsWindow(window); })) << "the window did not close";
        window = nullptr;
        ASSERT_TRUE(sim("pace off"));
        ASSERT_TRUE(sim("clear"));
    }

    void note_busy(const char* state) {
        std::printf("    [close] %s: threads %d while running (pid %d)\n", state, threads(), pid);
    }
};

TEST_F(CloseTest, ConfigurationWindowInEveryStateOfItsTransactions) {
    ASSERT_TRUE(fields_ready());
    note_idle();

    // Awaiting the acknowledgement of the read command.
    ASSERT_TRUE(sim("fault silent"));
    click(config_control(kConfigRead));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return p == std::vector<uint8_t>{'-'}; }));
    note_busy("read, awaiting the acknowledgement");
    close_window(config);
    expect_quiet_end("read, awaiting the acknowledgement");
    ASSERT_TRUE(sim("clear"));
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);

    // In the middle of the read's blocks (at the line's pace).
    ASSERT_TRUE(sim("pace on"));
    click(config_control(kConfigRead));
    HWND bar = config_control(kConfigProgress);
    ASSERT_TRUE(wait_until([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) >= 3; }));
    close_window(config);
    expect_quiet_end("read, in the middle of the blocks");
    ASSERT_TRUE(sim("pace off"));
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);

    // In the middle of the programming's blocks: block 3 goes unanswered.
    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(sim("fault silent-block 3"));
    click(config_control(kConfigProgram));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return is_block(p, 3); }));
    close_window(config);
    expect_quiet_end("programming, in the middle of the blocks");
    ASSERT_TRUE(sim("clear"));

    // Awaiting the completion byte of block 2.
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);
    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(sim("fault stall-block 2"));
    click(config_control(kConfigProgram));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return is_block(p, 2); }));
    ASSERT_TRUE(wait_until([&] {
        const std::vector<SimFrame> frames = sim_frames();
        return !frames.empty() && frames.back().from_device && frames.back().payload == std::vector<uint8_t>{0xF0};
    }));
    close_window(config);
    expect_quiet_end("programming, awaiting the completion byte");
    ASSERT_TRUE(sim("clear"));

    // Finished, the end message not yet handled: the identification that
    // starts "Programmieren" ends with the program's acknowledgement F0.
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);
    close_with_end_message_waiting(config, config_control(kConfigProgram));
    expect_quiet_end("identification finished, end message waiting");

    // Everything works afterwards.
    ASSERT_TRUE(open_config());
    EXPECT_EQ("Konfiguration gelesen !", run_config(kConfigRead).text);
    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ("Verifikation OK !", run_config(kConfigVerify).text);
}

TEST_F(CloseTest, SetupWindowInEveryStateOfItsTransactions) {
    ASSERT_TRUE(setup_ready());
    note_idle();

    // Awaiting the acknowledgement of the identification.
    ASSERT_TRUE(sim("fault silent"));
    ASSERT_TRUE(sim("log clear"));
    click(setup_control(kSetupRead));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return p == std::vector<uint8_t>{'+'}; }));
    close_window(setup);
    expect_quiet_end("setup read, awaiting the acknowledgement");
    ASSERT_TRUE(sim("clear"));

    // Awaiting a sound identification frame: the device sends a short one
    // and hangs up at the program's refusal, so the identification stays in
    // this state until the window is closed (seven quick refusals would end
    // it on their own before the close arrives).
    ASSERT_TRUE(setup_reopened());
    ASSERT_TRUE(sim("fault wrong-length 100"));
    ASSERT_TRUE(sim("fault vanish-after-frames 2"));
    ASSERT_TRUE(sim("log clear"));
    click(setup_control(kSetupRead));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return p == std::vector<uint8_t>{0xF1}; }));
    close_window(setup);
    expect_quiet_end("setup read, in the middle of the identification frames");
    ASSERT_TRUE(sim("reset"));

    // Awaiting the completion byte of the setup write.
    ASSERT_TRUE(setup_reopened());
    ASSERT_TRUE(sim("fault stall-setup"));
    ASSERT_TRUE(sim("log clear"));
    click(setup_control(kSetupProgram));
    ASSERT_TRUE(program_sent([](const std::vector<uint8_t>& p) { return p.size() == 5; }));
    close_window(setup);
    expect_quiet_end("setup write, awaiting the completion byte");
    ASSERT_TRUE(sim("clear"));

    // Finished, the end message not yet handled.
    ASSERT_TRUE(setup_reopened());
    close_with_end_message_waiting(setup, setup_control(kSetupRead));
    expect_quiet_end("setup read finished, end message waiting");

    ASSERT_TRUE(setup_reopened());
    EXPECT_EQ("Programmierung erfolgreich !", run_setup(kSetupProgram).text);
}

}  // namespace
}  // namespace zavtest
