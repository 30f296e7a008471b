// What the port procedures (serial_port.cpp) and the worker thread
// (worker_thread.cpp) share inside link/. Nothing outside link/ and the
// shell's transaction helpers needs this.
#pragma once

#include <windows.h>

namespace zav {

// The four events, created once at start-up and closed at shutdown, after
// port_stop has ended every thread that could use them.
struct LinkEvents {
    HANDLE stop;            // manual reset: receiver and worker end
    HANDLE frame;           // counting semaphore (max 8): one count per stored frame
    HANDLE slot_taken;      // auto reset: the worker has taken a frame
    HANDLE worker_started;  // auto reset: the receiver may begin reading
};
extern LinkEvents g_link_events;

// The worker last started and the window it reports to. Written by the UI
// thread only (start_worker_thread, port_stop).
extern HANDLE g_worker_thread;
HWND worker_report_window();

// True once the stop event is set: a thread that sees it posts nothing more.
inline bool stop_requested() {
    return WaitForSingleObject(g_link_events.stop, 0) == WAIT_OBJECT_0;
}

}  // namespace zav
