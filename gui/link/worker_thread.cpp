// The worker thread: runs one transaction's machine (link/worker.h) against
// the port, the receive ring and the events.
//
// Who owns what while the thread runs:
//   worker thread  its machine, its write event and overlapped record, the
//                  transmit buffer, the ring read index, the transaction state.
//   UI thread      g_launch (written before the thread starts, read-only after).
// The thread talks to windows only by posting, and only to the window that
// was the requesting window when it was started.
#include "gui/instances.h"
#include "gui/link/link_threads.h"
#include "gui/link/link.h"

namespace zav {

namespace {

// What a starting worker takes with it. One worker at a time: port_stop
// waits for the last one to end before a new one can be launched.
struct WorkerLaunch {
    CommandRecord command;
    HWND report_to;
};
WorkerLaunch g_launch;

// The thread's own write resources.
struct WriteChannel {
    HANDLE port;
    OVERLAPPED overlapped;
};

enum class Flow { kGoOn, kStop };

// Writes the transmit buffer. A write that fails at once is not waited for;
// the missing answer then counts against the attempts like any lost frame.
Flow write_transmit_buffer(WriteChannel& channel) {
    OVERLAPPED& write = channel.overlapped;
    write.Internal = write.InternalHigh = 0;
    write.Offset = write.OffsetHigh = 0;
    if (WriteFile(channel.port, g_frames.transmit, g_shared.transmit_length, nullptr, &write)) {
        return Flow::kGoOn;
    }
    if (GetLastError() != ERROR_IO_PENDING) return Flow::kGoOn;

    HANDLE wait_list[2] = {write.hEvent, g_link_events.stop};
    DWORD written = 0;
    if (WaitForMultipleObjects(2, wait_list, FALSE, INFINITE) == WAIT_OBJECT_0) {
        GetOverlappedResult(channel.port, &write, &written, FALSE);
        return Flow::kGoOn;
    }
    // Stop event (or a failed wait): the write must be over before the
    // overlapped record goes away with the thread.
    CancelIo(channel.port);
    GetOverlappedResult(channel.port, &write, &written, TRUE);
    return Flow::kStop;
}

Flow perform(WriteChannel& channel, const WorkerActions& actions) {
    for (uint8_t i = 0; i < actions.count; ++i) {
        // Whoever set the stop event expects nothing more from us, not even
        // the rest of a step it interrupted.
        if (stop_requested()) return Flow::kStop;
        const WorkerAction& action = actions.action[i];
        if (action.kind == WorkerAction::kSend) {
            if (write_transmit_buffer(channel) == Flow::kStop) return Flow::kStop;
        } else if (action.kind == WorkerAction::kPost) {
            PostMessageA(g_launch.report_to, action.message, action.wparam, 0);
        }
    }
    return Flow::kGoOn;
}

// Takes the frame the semaphore announced. The slot is copied before the
// receiver is told it may go on, so a later frame cannot change it under us.
// A count without a frame in the ring is a leftover and is ignored.
bool take_announced_frame(uint8_t (&slot)[kSlotBytes]) {
    if (!frame_waiting(g_frames.ring)) return false;
    const uint8_t* taken = take_frame(g_frames.ring);
    for (size_t i = 0; i < kSlotBytes; ++i) slot[i] = taken[i];
    SetEvent(g_link_events.slot_taken);
    return true;
}

// Runs the machine until it has finished (true) or the stop event came.
bool run_machine(Worker& worker, WriteChannel& channel) {
    WorkerActions actions = {};
    worker_start(worker, actions);
    if (perform(channel, actions) == Flow::kStop) return false;

    HANDLE wait_list[2] = {g_link_events.frame, g_link_events.stop};
    uint8_t slot[kSlotBytes];
    while (!worker_finished(worker)) {
        const DWORD woken = WaitForMultipleObjects(2, wait_list, FALSE, kWaitMilliseconds);
        actions.count = 0;
        // The wait names the frame event first when both are set, and the
        // stop may come just after a time-out: the stop wins whatever woke
        // us, so no frame is taken into the image after it.
        if (woken == WAIT_OBJECT_0 + 1 || stop_requested()) return false;
        if (woken == WAIT_OBJECT_0) {
            if (!take_announced_frame(slot)) continue;
            worker_on_frame(worker, slot, actions);
        } else if (woken == WAIT_TIMEOUT) {
            worker_on_timeout(worker, actions);
        } else {
            // The wait itself failed; do not spin on it.
            if (WaitForSingleObject(g_link_events.stop, kWaitMilliseconds) != WAIT_TIMEOUT) {
                return false;
            }
            continue;
        }
        if (perform(channel, actions) == Flow::kStop) return false;
    }
    return true;
}

// Worker thread: one transaction from command to end message, then waits
// for the stop event that the requesting window's port_stop sets.
DWORD WINAPI worker_thread(void* parameter) {
    const WorkerLaunch& launch = *static_cast<const WorkerLaunch*>(parameter);
    WriteChannel channel = {};
    channel.port = g_shared.port;
    channel.overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SetEvent(g_link_events.worker_started);
    if (channel.overlapped.hEvent == nullptr) {
        // Without a write event nothing can be sent: end as an unanswered
        // transaction would, so the window does not wait in vain.
        if (!stop_requested()) PostMessageA(launch.report_to, kEndMessage, kResultFailed, 0);
        WaitForSingleObject(g_link_events.stop, INFINITE);
        return 0;
    }

    Worker worker;
    const WorkerBindings bind = {&g_shared, &g_frames, &g_image, g_read_back};
    worker_init(worker, bind, launch.command);
    if (run_machine(worker, channel)) {
        DWORD woken;
        do {
            woken = WaitForSingleObject(g_link_events.stop, kWaitMilliseconds);
        } while (woken == WAIT_TIMEOUT);
    }
    CloseHandle(channel.overlapped.hEvent);
    return 0;
}

}  // namespace

HWND worker_report_window() { return g_launch.report_to; }

bool start_worker_thread() {
    g_launch.command = g_command;
    g_launch.report_to = static_cast<HWND>(g_shared.requesting_window);
    g_worker_thread = CreateThread(nullptr, 0, worker_thread, &g_launch, 0, nullptr);
    return g_worker_thread != nullptr;
}

}  // namespace zav
