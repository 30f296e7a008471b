// 200 transactions in a row against the virtual device: 40 rounds of
// connect, read, program, verify and setup read. All must succeed, and the
// program must not grow: its threads, Windows handles and resident memory
// after round 40 are those after round 5, within small allowances, and
// between rounds neither the program nor the prefix's server has a
// descriptor open on the line.
#include "fault_fixture.h"

namespace zavtest {
namespace {

constexpr int kRounds = 40;
constexpr int kSettledRound = 5;

// Allowances between round 5 and round 40. Threads must match: each
// transaction makes and ends its two link threads. Handles may differ by
// what Wine's own libraries keep, and the heap may settle by a few pages.
// The descriptors are counted on the line only, and there exactly: the
// others of the program's process and of the prefix's server are Wine's,
// opened and closed as it likes.
constexpr long kHandleSlack = 2;
constexpr long kMemorySlackKb = 512;

struct Snapshot {
    UnixUsage program;
    long handles = -1;
    int program_on_line = -1;  // descriptors open on the line
    int server_on_line = -1;
};

class SoakTest : public FaultTest {
protected:
    // Every figure compared afterwards must have been read: one that could
    // not be read is -1 and would pass every comparison with a later one.
    // The line's descriptors only when server_pid is given (> 0).
    Snapshot snapshot(int pid, int server_pid) {
        Snapshot s;
        EXPECT_TRUE(sync_with_program(program));
        EXPECT_TRUE(unix_usage(pid, s.program) && s.program.threads >= 0 && s.program.rss_kb >= 0)
            << "the program's threads or memory cannot be read from /proc";
        if (server_pid > 0) {
            s.program_on_line = line_descriptors(pid);
            s.server_on_line = line_descriptors(server_pid);
            EXPECT_TRUE(s.program_on_line >= 0 && s.server_on_line >= 0) << "the line's descriptors cannot be read";
        }
        s.handles = program_handle_count(program);
        EXPECT_GE(s.handles, 0) << "the program's handles cannot be counted";
        return s;
    }

    static void print(const char* when, const Snapshot& s) {
        char line[96] = "";
        if (s.program_on_line >= 0)
            std::snprintf(line, sizeof line, " (on the line %d, the wineserver's %d)", s.program_on_line,
                          s.server_on_line);
        std::printf("    [soak] %s: threads %d, handles %ld, descriptors %d%s, VmRSS %ld kB, CPU %.2f s\n", when,
                    s.program.threads, s.handles, s.program.descriptors, line, s.program.rss_kb,
                    s.program.cpu_seconds);
    }

    ::testing::AssertionResult expect(const char* what, const Outcome& outcome, const char* text) {
        if (outcome.text == text) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << what << " showed \"" << outcome.text << "\"";
    }

    ::testing::AssertionResult round() {
        ::testing::AssertionResult result = expect("connect", run_connect(), kRecognised);
        if (!result) return result;
        result = open_config();
        if (!result) return result;
        result = expect("read", run_config(kConfigRead), "Konfiguration gelesen !");
        if (result) result = expect("program", run_config(kConfigProgram), "Programmierung erfolgreich !");
        if (result) result = expect("verify", run_config(kConfigVerify), "Verifikation OK !");
        close_window(config);
        if (!result) return result;
        result = open_setup();
        if (!result) return result;
        result = expect("setup read", run_setup(kSetupRead), "Setup gelesen !");
        close_window(setup);
        return result;
    }
};

TEST_F(SoakTest, TwoHundredTransactionsLeaveNothingBehind) {
    ASSERT_TRUE(sim("record " + hex_text(programmable_record())));
    ASSERT_TRUE(start(kAccessCode));
    const int pid = program_unix_pid(program);
    ASSERT_GT(pid, 0);
    const int server_pid = wineserver_unix_pid();
    ASSERT_GT(server_pid, 0) << "the prefix's wineserver was not found";

    const DWORD begin = GetTickCount();
    Snapshot settled;
    for (int n = 1; n <= kRounds; ++n) {
        ASSERT_TRUE(round()) << "round " << n;
        if (n == kSettledRound) {
            settled = snapshot(pid, server_pid);
            print("after round 5", settled);
        }
    }
    const Snapshot last = snapshot(pid, server_pid);
    print("after round 40", last);
    std::printf("    [soak] %d transactions in %.1f s\n", 5 * kRounds, (GetTickCount() - begin) / 1000.0);

    EXPECT_EQ(kRounds, sim_stat("reads") / 2) << "two reads a round";
    EXPECT_EQ(kRounds, sim_stat("programmings"));
    EXPECT_EQ(settled.program.threads, last.program.threads);
    EXPECT_LE(last.handles, settled.handles + kHandleSlack);
    for (const Snapshot& s : {settled, last}) {
        EXPECT_EQ(0, s.program_on_line) << "the program holds the line between transactions";
        EXPECT_EQ(0, s.server_on_line) << "the prefix's server holds the line between transactions";
    }
    EXPECT_LE(last.program.rss_kb, settled.program.rss_kb + kMemorySlackKb);
}

// The configuration window's controls are subclassed; closing the window
// must still let each control clean up after itself (an edit control frees
// its text, a combo box its list), else every close leaves memory behind.
TEST_F(SoakTest, ConfigurationWindowOpenedAndClosedAgainAndAgainDoesNotGrow) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(connected());
    const int pid = program_unix_pid(program);
    ASSERT_GT(pid, 0);
    Snapshot settled;
    for (int n = 1; n <= 60; ++n) {
        ASSERT_TRUE(open_config());
        close_window(config);
        if (n == 20) settled = snapshot(pid, -1);
    }
    const Snapshot last = snapshot(pid, -1);
    print("configuration window, after 20 closes", settled);
    print("configuration window, after 60 closes", last);
    EXPECT_LE(last.program.rss_kb, settled.program.rss_kb + kMemorySlackKb);
    EXPECT_LE(last.handles, settled.handles + kHandleSlack);
}

}  // namespace
}  // namespace zavtest
