// The process-wide record that the windows and the two link threads share.
//
// There are no locks. Every field has one writer at a time, and hand-overs
// between threads are ordered by the four events and by posted window
// messages (a worker writes, then posts; the window reads after the post).
#pragma once

#include <cstdint>

namespace zav {

// Platform handles, kept opaque so that the portable core can hold them
// without knowing the platform.
using WindowHandle = void*;
using OsHandle = void*;

struct SharedState {
    WindowHandle main_window;       // UI: start-up, main window creation
    OsHandle port;                  // UI: port-open; read by receiver and worker
    int32_t main_client_width;      // UI: main window WM_SIZE
    int32_t main_client_height;     // UI: main window WM_SIZE
    uint32_t gathered_length;       // receiver: frame decoder
    uint32_t transmit_length;       // running worker
    uint32_t link_open;             // UI: port-open, port-stop
    uint32_t transaction_running;   // UI: set before a worker starts, cleared by port-stop
    uint32_t updating;              // UI: configuration window fills its own controls
    uint32_t in_frame;              // receiver: frame decoder
    uint32_t escape;                // receiver: frame decoder
    int32_t selected_port;          // UI: port dialog; index into the port name table
    int32_t char_width;             // UI: layout unit, system fixed font
    int32_t line_height;            // UI: layout unit, system fixed font
    WindowHandle requesting_window; // UI: the window a new worker reports to
    WindowHandle info_window;       // UI: main window
    uint32_t transaction_state;     // window sets 0 before the worker exists; then the worker
    uint32_t device_data_valid;     // UI: main window, setup window
    uint32_t info_window_open;      // UI: info window
    uint32_t service_mode;          // start-up only; fixed for the run
};

void clear_shared_state(SharedState& shared);

}  // namespace zav
