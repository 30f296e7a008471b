// Ctrl+C and Ctrl+Break of the console. Windows calls the handler on a
// thread of its own; the count is kept with interlocked operations, and the
// event is signalled only for a stop at once, so that the first Ctrl+C of a
// series does not wake every later wait.
#include "cli/platform/interrupt.h"

#include "cli/platform/console.h"
#include "cli/platform/win32/interrupt_event.h"

namespace zav::cli {

namespace {

// Enough that a held-down Ctrl+C can never wrap the counter.
constexpr LONG kCountLimit = 1000;

volatile LONG g_count = 0;
// How many are at work that the first Ctrl+C lets finish (each port of a
// series on its device); the first Ctrl+C stops at once while none is.
volatile LONG g_finishing = 0;
volatile LONG g_waits_ended = 0;
HANDLE g_event = nullptr;
bool g_installed = false;
// Set before a phase in which the notice may be said, read by the handler's
// thread; the critical section keeps it whole while either uses it.
CRITICAL_SECTION g_notice_lock;
std::string g_notice;
std::string g_notice_several;  // while several are at work

// The event follows interrupted(), so that a wait that wakes for it can
// stop. Reset first and look again: a Ctrl+C on the handler's thread in
// between still leaves the event signalled.
void update_event() {
    if (g_event == nullptr) return;
    if (!interrupted()) ResetEvent(g_event);
    if (interrupted()) SetEvent(g_event);
}

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    const LONG count = InterlockedIncrement(&g_count);
    if (count > kCountLimit) InterlockedExchange(&g_count, kCountLimit);
    update_event();
    if (count == 1 && g_finishing > 0) {
        EnterCriticalSection(&g_notice_lock);
        const std::string& notice = g_finishing > 1 && !g_notice_several.empty() ? g_notice_several : g_notice;
        if (!notice.empty()) write_text(Stream::kError, notice);
        LeaveCriticalSection(&g_notice_lock);
    }
    return TRUE;  // handled: the process goes on and stops at its own pace
}

}  // namespace

void install_interrupt_handler() {
    if (g_installed) return;
    g_installed = true;
    InitializeCriticalSection(&g_notice_lock);
    g_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int interrupt_count() { return static_cast<int>(g_count); }

bool interrupted() {
    const LONG count = g_count;
    return g_waits_ended != 0 || count >= 2 || (count >= 1 && g_finishing == 0);
}

void end_waits() {
    InterlockedExchange(&g_waits_ended, 1);
    update_event();
}

bool waits_ended() { return g_waits_ended != 0; }

void set_interrupt_stops_at_once(bool at_once) {
    if (!at_once) {
        InterlockedIncrement(&g_finishing);
    } else if (InterlockedDecrement(&g_finishing) < 0) {
        InterlockedIncrement(&g_finishing);
    }
    // The last to finish after a first Ctrl+C wakes the waits of the
    // others (a port looking for its next device).
    update_event();
}

void set_first_interrupt_notice(const std::string& text, const std::string& when_several) {
    if (!g_installed) return;
    // Cleared only by the last one at work: another port may still be in
    // the middle of its device.
    if (text.empty() && g_finishing > 0) return;
    EnterCriticalSection(&g_notice_lock);
    // At a console the line starts afresh over a progress bar.
    const std::string start = is_terminal(Stream::kError) ? "\r" : "";
    g_notice = text.empty() ? std::string() : start + text + "\n";
    g_notice_several = text.empty() || when_several.empty() ? std::string() : start + when_several + "\n";
    LeaveCriticalSection(&g_notice_lock);
}

HANDLE interrupt_event() { return g_event; }

}  // namespace zav::cli
