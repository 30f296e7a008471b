// The serial port of one transaction: port-open, the receiver thread and
// port-stop, plus the four events that order the hand-overs.
//
// Who owns what:
//   UI thread        g_shared.port, g_shared.link_open, g_receiver_thread,
//                    g_worker_thread; signals and resets the stop event.
//   receiver thread  g_input, the decoder state (gather buffer, flags), the
//                    ring write index; releases the frame semaphore.
//   worker thread    transmit buffer, ring read index (worker_thread.cpp).
// port_stop never closes the port while either thread still runs, so the
// handle a thread holds is valid for the thread's whole life.
#include "gui/link/link.h"

#include "gui/instances.h"
#include "core/link/port_names.h"
#include "gui/link/link_threads.h"
#include "win32/com_port.h"

namespace zav {

LinkEvents g_link_events;
HANDLE g_worker_thread;

namespace {

constexpr DWORD kInputBytes = 256;
constexpr LONG kMaxWaitingFrames = kRingSlots;
constexpr DWORD kWorkerStartWait = 200;
constexpr DWORD kReadWait = 500;
constexpr DWORD kSlotTakenWait = 100;
constexpr DWORD kStopWait = 1000;
// A read that fails or returns nothing at once (the adapter has gone) would
// otherwise be re-issued in a tight loop; this pause also lets the stop
// event through.
constexpr DWORD kFailedReadPause = 10;

HANDLE g_receiver_thread;  // UI thread
uint8_t g_input[kInputBytes];  // receiver thread

// Receiver thread, called by the decoder after each stored frame: wake the
// worker once for this frame and give it a moment to take the slot before
// the next frame may be stored. The stop event cuts the moment short.
void on_frame_stored(void*) {
    ReleaseSemaphore(g_link_events.frame, 1, nullptr);
    HANDLE wait_list[2] = {g_link_events.slot_taken, g_link_events.stop};
    WaitForMultipleObjects(2, wait_list, FALSE, kSlotTakenWait);
}

void hand_to_decoder(DWORD count) {
    decode_bytes(g_shared, g_frames, g_input, count, on_frame_stored, nullptr);
}

// Receiver thread. Returns true when the stop event ended the pause.
bool pause_after_failed_read() {
    return WaitForSingleObject(g_link_events.stop, kFailedReadPause) == WAIT_OBJECT_0;
}

enum class ReadOutcome { kNextRead, kStop };

// Receiver thread: waits for the outstanding read. The read is cancelled and
// completed before the stop returns, so the overlapped record and the input
// buffer are not written after the thread has left.
ReadOutcome await_read(HANDLE port, OVERLAPPED& read) {
    HANDLE wait_list[2] = {read.hEvent, g_link_events.stop};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, wait_list, FALSE, kReadWait);
        DWORD count = 0;
        if (woken == WAIT_OBJECT_0) {
            const bool read_ok = GetOverlappedResult(port, &read, &count, FALSE) != 0;
            if (read_ok) hand_to_decoder(count);
            if (read_ok && count > 0) return ReadOutcome::kNextRead;
            return pause_after_failed_read() ? ReadOutcome::kStop : ReadOutcome::kNextRead;
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            CancelIo(port);
            GetOverlappedResult(port, &read, &count, TRUE);
            return ReadOutcome::kStop;
        }
        if (woken == WAIT_TIMEOUT) continue;
        // The wait itself failed: drop the read and the input queue, start over.
        PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR);
        GetOverlappedResult(port, &read, &count, TRUE);
        return pause_after_failed_read() ? ReadOutcome::kStop : ReadOutcome::kNextRead;
    }
}

// Receiver thread: reads whatever arrives and feeds the frame decoder until
// the stop event. Started with the shared record, from which it takes the port.
DWORD WINAPI receiver_thread(void* parameter) {
    const HANDLE port = static_cast<SharedState*>(parameter)->port;
    OVERLAPPED read = {};
    read.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (read.hEvent == nullptr) {
        WaitForSingleObject(g_link_events.stop, INFINITE);
        return 0;
    }
    g_frames.ring.write_index = 0;
    g_frames.ring.read_index = 0;
    // Reading begins once the worker runs, so the first frames of the device
    // find a worker that has already reset the ring.
    WaitForSingleObject(g_link_events.worker_started, kWorkerStartWait);

    for (;;) {
        read.Internal = read.InternalHigh = 0;
        read.Offset = read.OffsetHigh = 0;
        if (ReadFile(port, g_input, kInputBytes, nullptr, &read)) {
            DWORD count = 0;
            GetOverlappedResult(port, &read, &count, FALSE);
            hand_to_decoder(count);
            // An empty read that returns at once would come straight back.
            if (count == 0 && pause_after_failed_read()) break;
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            if (pause_after_failed_read()) break;
            continue;
        }
        if (await_read(port, read) == ReadOutcome::kStop) break;
    }
    CloseHandle(read.hEvent);
    return 0;
}

// UI thread, with no link thread running: signals left over from the last
// transaction (a frame stored after its worker had finished, a slot-taken or
// started signal nobody waited for) must not wake the next one.
void discard_stale_signals() {
    while (WaitForSingleObject(g_link_events.frame, 0) == WAIT_OBJECT_0) {
    }
    ResetEvent(g_link_events.slot_taken);
    ResetEvent(g_link_events.worker_started);
}

HANDLE create_auto_event() { return CreateEventA(nullptr, FALSE, FALSE, nullptr); }

void close_handle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

bool create_link_events() {
    g_link_events.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_link_events.frame = CreateSemaphoreA(nullptr, 0, kMaxWaitingFrames, nullptr);
    g_link_events.slot_taken = create_auto_event();
    g_link_events.worker_started = create_auto_event();
    if (g_link_events.stop && g_link_events.frame && g_link_events.slot_taken &&
        g_link_events.worker_started) {
        return true;
    }
    close_link_events();
    return false;
}

void close_link_events() {
    close_handle(g_link_events.stop);
    close_handle(g_link_events.frame);
    close_handle(g_link_events.slot_taken);
    close_handle(g_link_events.worker_started);
}

bool port_open() {
    // A port left open would leak with its receiver; callers never get here
    // with the link open, but a stray second start must not break the link.
    if (g_shared.link_open) port_stop();

    // The window says only that the port could not be opened, whatever the cause.
    PortFailure failure;
    DWORD system_error;
    const HANDLE port = open_com_port(port_name(g_shared.selected_port), failure, system_error);
    if (port == INVALID_HANDLE_VALUE) return false;
    discard_stale_signals();

    g_shared.port = port;
    g_receiver_thread = CreateThread(nullptr, 0, receiver_thread, &g_shared, 0, nullptr);
    if (g_receiver_thread == nullptr) {
        CloseHandle(port);
        g_shared.port = nullptr;
        return false;
    }
    g_shared.link_open = 1;
    return true;
}

void port_stop() {
    g_shared.transaction_running = 0;
    if (!g_shared.link_open) return;
    SetEvent(g_link_events.stop);

    HANDLE threads[2];
    DWORD count = 0;
    if (g_receiver_thread != nullptr) threads[count++] = g_receiver_thread;
    if (g_worker_thread != nullptr) threads[count++] = g_worker_thread;
    if (count > 0 && WaitForMultipleObjects(count, threads, TRUE, kStopWait) == WAIT_TIMEOUT) {
        // Both threads answer the stop event within a write time-out; closing
        // the port under one of them, or resetting the event before it has
        // seen it, would be worse than waiting a little longer.
        WaitForMultipleObjects(count, threads, TRUE, INFINITE);
    }

    CloseHandle(g_shared.port);
    g_shared.port = nullptr;
    g_shared.link_open = 0;
    ResetEvent(g_link_events.stop);
    close_handle(g_receiver_thread);
    close_handle(g_worker_thread);
}

}  // namespace zav
