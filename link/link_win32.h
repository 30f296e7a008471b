// The serial link on Windows: port-open, port-stop and the worker thread.
// All three are called on the UI thread only.
#pragma once

#include <windows.h>

#include "link/frame_codec.h"
#include "link/worker.h"

namespace zav {

// Process-wide link state (owned by link/, read by the windows after an end
// message).
extern FrameBuffers g_frames;
extern uint8_t g_read_back[kReadBackBytes];
extern CommandRecord g_command;

// Creates the four events; false when one cannot be created.
bool create_link_events();
void close_link_events();

// Opens the port named by the selected port index, sets 2400 8N1 without
// flow control and starts the receiver. false when the port cannot be opened
// (the caller reports it with the plain port name).
bool port_open();

// Ends receiver and worker and closes the port; harmless when closed.
void port_stop();

// Starts the worker thread for g_command; it reports to the current
// requesting window. false when the thread cannot be started.
bool start_worker_thread();

}  // namespace zav
