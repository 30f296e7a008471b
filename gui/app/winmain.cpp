// Entry: start-up, the message loop of the UI thread, shutdown.
#include <windows.h>

#include "gui/app/shell.h"
#include "gui/app/main_window.h"
#include "core/app/access_code.h"
#include "gui/app/messages.h"
#include "gui/config/config_window.h"
#include "gui/info/info_window.h"
#include "gui/link/link.h"
#include "gui/setup/setup_window.h"

namespace zav {

namespace {

constexpr SIZE_T kWorkingBufferBytes = 2 * 1024 * 1024;
constexpr const char kIconName[] = "Symbol_ZAV";
constexpr const char kMenuName[] = "Menue_LUM2";

// The configuration window picks its paths before every use; these give the
// record somewhere valid to point from the start.
char g_file_path[260];
char g_file_title[259];

// What start-up obtained, so that every way out releases exactly that.
struct StartupResources {
    int classes_registered;
    HWND main_window;
    void* working_buffer;
    bool events_created;
};

struct WindowClass {
    const char* name;
    WNDPROC procedure;
    int background;
    const char* menu;
};

const WindowClass kWindowClasses[] = {
    {kMainWindowClass, MainWindowProcedure, WHITE_BRUSH, kMenuName},
    {kConfigWindowClass, ConfigWindowProcedure, LTGRAY_BRUSH, nullptr},
    {kSetupWindowClass, SetupWindowProcedure, LTGRAY_BRUSH, nullptr},
    {kInfoWindowClass, InfoWindowProcedure, WHITE_BRUSH, nullptr},
};
constexpr int kWindowClassCount = sizeof kWindowClasses / sizeof kWindowClasses[0];

bool register_window_classes(HINSTANCE instance, StartupResources& obtained) {
    const HICON icon = LoadIconA(instance, kIconName);
    for (const WindowClass& entry : kWindowClasses) {
        WNDCLASSEXA window_class = {};
        window_class.cbSize = sizeof window_class;
        window_class.style = CS_HREDRAW | CS_VREDRAW;
        window_class.lpfnWndProc = entry.procedure;
        window_class.hInstance = instance;
        window_class.hIcon = icon;
        window_class.hIconSm = icon;
        window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(entry.background));
        window_class.lpszMenuName = entry.menu;
        window_class.lpszClassName = entry.name;
        if (RegisterClassExA(&window_class) == 0) return false;
        ++obtained.classes_registered;
    }
    return true;
}

// Both file dialogs share this record; the configuration window sets the
// paths, the filter index and the flags before each use.
void fill_file_dialog(HWND owner) {
    OPENFILENAMEA& dialog = g_file_dialog;
    dialog = OPENFILENAMEA{};
    // The record without the later fields, sized for this build's pointers.
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "Konfig Files (*.zcf)\0*.zcf\0Protokoll Files (*.txt)\0*.txt\0";
    dialog.lpstrFile = g_file_path;
    dialog.nMaxFile = sizeof g_file_path;
    dialog.lpstrFileTitle = g_file_title;
    dialog.nMaxFileTitle = sizeof g_file_title;
    dialog.lpstrDefExt = "zcf";
}

void release(HINSTANCE instance, StartupResources& obtained) {
    if (obtained.events_created) close_link_events();
    if (obtained.working_buffer != nullptr) VirtualFree(obtained.working_buffer, 0, MEM_RELEASE);
    if (obtained.main_window != nullptr && IsWindow(obtained.main_window)) {
        DestroyWindow(obtained.main_window);
    }
    for (int i = obtained.classes_registered - 1; i >= 0; --i) {
        UnregisterClassA(kWindowClasses[i].name, instance);
    }
    obtained = StartupResources{};
}

int startup_failed(HINSTANCE instance, StartupResources& obtained) {
    MessageBoxA(obtained.main_window, kProgramStartFailed, kCaptionStartup, MB_OK | MB_ICONERROR);
    release(instance, obtained);
    return 0;
}

int run_message_loop() {
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int run_program(HINSTANCE instance, const char* arguments, int show) {
    StartupResources obtained = {};
    clear_shared_state(g_shared);
    set_image_start_values(g_image);
    g_shared.service_mode = is_access_code(arguments) ? 1 : 0;

    if (!register_window_classes(instance, obtained)) return startup_failed(instance, obtained);
    g_instance = instance;
    obtained.main_window =
        CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, kMainWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, kMainWindowCreateWidth, kMainWindowCreateHeight, nullptr,
                        nullptr, instance, nullptr);
    if (obtained.main_window == nullptr) return startup_failed(instance, obtained);
    g_shared.main_window = obtained.main_window;
    ShowWindow(obtained.main_window, show);
    UpdateWindow(obtained.main_window);
    fill_file_dialog(obtained.main_window);

    obtained.working_buffer =
        VirtualAlloc(nullptr, kWorkingBufferBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (obtained.working_buffer == nullptr) {
        MessageBoxA(obtained.main_window, kOutOfMemory, kCaptionStartup, MB_OK | MB_ICONERROR);
        return 0;
    }
    if (!create_link_events()) return startup_failed(instance, obtained);
    obtained.events_created = true;

    const int exit_code = run_message_loop();

    // A transaction may still run when the main window goes; its threads
    // must be gone before the events they wait on are closed.
    port_stop();
    obtained.main_window = nullptr;  // destroyed already: that ended the loop
    release(instance, obtained);
    return exit_code;
}

}  // namespace zav

// The argument text is the command line after the program name and its
// blanks; nothing but the access code is read from it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show) {
    return zav::run_program(instance, arguments, show);
}
