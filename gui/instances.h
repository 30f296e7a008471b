// The program's process-wide instances: the one shared state record, the
// configuration image and the link's buffers, each defined once in
// instances.cpp. This is the lowest file of the windowed program: the link
// threads and every window include it, it includes nothing of theirs.
//
// Who writes what, and when others may read it, stands with each field of
// SharedState; the link's buffers are written by the worker thread and read
// by a window only after the worker's end message has arrived.
#pragma once

#include <windows.h>
#include <commdlg.h>  // OPENFILENAMEA, left out by WIN32_LEAN_AND_MEAN

#include <cstdint>

#include "core/config/config_image.h"
#include "core/link/frame_codec.h"
#include "core/link/shared_state.h"
#include "core/link/worker.h"

namespace zav {

extern SharedState g_shared;
extern ConfigImage g_image;
extern HINSTANCE g_instance;
extern OPENFILENAMEA g_file_dialog;

// The link's state: the receive ring and the decoder's buffers, the
// read-back buffer a configuration read fills, and the command record of
// the transaction under way.
extern FrameBuffers g_frames;
extern uint8_t g_read_back[kReadBackBytes];
extern CommandRecord g_command;

}  // namespace zav
