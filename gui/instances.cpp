// The single process-wide instances that every window and thread shares.
#include "gui/instances.h"

namespace zav {

SharedState g_shared;
ConfigImage g_image;
HINSTANCE g_instance;
OPENFILENAMEA g_file_dialog;

FrameBuffers g_frames;
uint8_t g_read_back[kReadBackBytes];
CommandRecord g_command;

}  // namespace zav
