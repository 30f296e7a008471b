// The serial link on Windows: port-open, port-stop and the worker thread.
// All three are called on the UI thread only.
#pragma once

#include <windows.h>

#include "gui/instances.h"

namespace zav {

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
