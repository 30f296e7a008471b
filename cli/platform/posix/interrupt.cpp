// SIGINT, SIGTERM and SIGHUP count as Ctrl+C. The handler only counts,
// writes one byte into a pipe and, for the first Ctrl+C that waits for a safe
// point, the notice prepared beforehand (write() is async-signal-safe); the
// port's poll() watches the pipe, which closes the gap between looking at
// interrupted() and starting to wait.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/lock.h"
#include "cli/platform/posix/interrupt_wake.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

namespace {

// Atomic, not only volatile: the handler runs on whichever thread the signal
// meets, and every port's thread reads the count.
std::atomic<int> g_count{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler writes it");
// How many are at work that the first Ctrl+C lets finish (each port of a
// series on its device); the first Ctrl+C stops at once while none is.
std::atomic<int> g_finishing{0};
std::atomic<bool> g_waits_ended{false};
int g_wake_read = -1;
int g_wake_write = -1;

// The notice as the terminal takes it (UTF-8), and the one for several at
// work. A length is set to 0 while its text changes, and set once the text
// is there, so the handler never writes a half-changed text.
char g_notice[512];
std::atomic<int> g_notice_length{0};
char g_notice_several[512];
std::atomic<int> g_notice_several_length{0};

// Enough that a held-down Ctrl+C can never wrap the counter.
constexpr int kCountLimit = 1000;

void on_signal(int) {
    const int saved_errno = errno;
    const int count = g_count.load() < kCountLimit ? g_count.fetch_add(1) + 1 : g_count.load();
    const int finishing = g_finishing.load();
    const int several_length = g_notice_several_length.load();
    const int length = g_notice_length.load();
    if (count == 1 && finishing > 1 && several_length > 0) {
        ssize_t ignored = write(STDERR_FILENO, g_notice_several, static_cast<size_t>(several_length));
        (void)ignored;
    } else if (count == 1 && finishing > 0 && length > 0) {
        ssize_t ignored = write(STDERR_FILENO, g_notice, static_cast<size_t>(length));
        (void)ignored;
    }
    if (g_wake_write >= 0) {
        const char byte = 1;
        // A full pipe already wakes the poll; nothing is lost.
        ssize_t ignored = write(g_wake_write, &byte, 1);
        (void)ignored;
    }
    errno = saved_errno;
}

}  // namespace

void install_interrupt_handler() {
    if (g_wake_read >= 0) return;
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
        g_wake_read = ends[0];
        g_wake_write = ends[1];
    }
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call returns EINTR, so nothing sleeps
    // through Ctrl+C.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int interrupt_count() { return g_count; }

bool interrupted() {
    const int count = g_count.load();
    return g_waits_ended.load() || count >= 2 || (count >= 1 && g_finishing.load() == 0);
}

namespace {

// Every wait on the pipe wakes, on every thread, while the byte is there.
void wake_waits() {
    if (g_wake_write < 0) return;
    const char byte = 1;
    ssize_t ignored = write(g_wake_write, &byte, 1);
    (void)ignored;
}

}  // namespace

void end_waits() {
    g_waits_ended = true;
    wake_waits();
}

bool waits_ended() { return g_waits_ended.load(); }

void set_interrupt_stops_at_once(bool at_once) {
    if (!at_once) {
        ++g_finishing;
        return;
    }
    int before = g_finishing.load();
    while (before > 0 && !g_finishing.compare_exchange_weak(before, before - 1)) {
    }
    // The last to finish after a first Ctrl+C: the waits of the others
    // (a port looking for its next device) stop now, not at their time-out.
    if (before == 1 && interrupted()) wake_waits();
}

namespace {

// The ports of a series set the notices one at a time; the texts they were
// last set to, so that a port setting the same again leaves the buffers
// alone (the handler may be reading them).
Lock& notice_lock() {
    static Lock lock;
    return lock;
}
std::string g_notice_text;
std::string g_notice_several_text;

// Puts text into a notice's buffer for the handler.
void prepare_notice(const std::string& text, char* buffer, size_t size, std::atomic<int>& length,
                    std::string& set_to) {
    if (text == set_to && (text.empty() || length.load() > 0)) return;
    set_to = text;
    length = 0;
    if (text.empty()) return;
    // At a terminal the line starts afresh over a progress bar (and the
    // "^C" the terminal echoed); the bar is redrawn below it.
    std::string line = utf8_from_cp1252(text);
    if (is_terminal(Stream::kError)) line = "\r" + line + "\x1b[K";
    line += "\n";
    if (line.size() > size) return;
    std::memcpy(buffer, line.data(), line.size());
    length = static_cast<int>(line.size());
}

}  // namespace

void set_first_interrupt_notice(const std::string& text, const std::string& when_several) {
    // Cleared only by the last one at work: another port may still be in
    // the middle of its device.
    if (text.empty() && g_finishing.load() > 0) return;
    const Held held(notice_lock());
    prepare_notice(text, g_notice, sizeof g_notice, g_notice_length, g_notice_text);
    prepare_notice(text.empty() ? text : when_several, g_notice_several, sizeof g_notice_several,
                   g_notice_several_length, g_notice_several_text);
}

int interrupt_wake_fd() { return g_wake_read; }

void clear_interrupt_wake() {
    if (g_wake_read < 0) return;
    char bytes[64];
    while (read(g_wake_read, bytes, sizeof bytes) > 0) {
    }
    // A second Ctrl+C that came in between must still wake the waits of
    // the other threads.
    if (interrupted()) wake_waits();
}

}  // namespace zav::cli
