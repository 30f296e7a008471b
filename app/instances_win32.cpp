// The single process-wide instances that every window and thread shares.
#include "app/app_win32.h"

namespace zav {

SharedState g_shared;
ConfigImage g_image;
HINSTANCE g_instance;
OPENFILENAMEA g_file_dialog;

}  // namespace zav
