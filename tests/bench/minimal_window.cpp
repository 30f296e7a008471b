// The yardstick for start-up: a Win32 program that registers one class,
// opens one window of the main window's size and runs a message loop,
// nothing else. On WM_USER it shows a message box, so that the benchmark can
// also time how long the platform itself takes to put up a box.
//
// Built a second time with ZAV_BENCH_SAME_DLLS: then it also loads the
// common controls and registers the progress bar class at start, as
// zavkonfig.exe must, so that the cost of that library can be told apart.
// (zavkonfig.exe loads the common dialogs only when a file dialog opens.)
#include <windows.h>
#ifdef ZAV_BENCH_SAME_DLLS
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK minimal_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_USER:
            MessageBoxA(window, "Fertig", "Minimal", MB_OK | MB_ICONINFORMATION);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
#ifdef ZAV_BENCH_SAME_DLLS
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = minimal_window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "ZavBenchMinimal";
    if (!RegisterClassA(&window_class)) return 1;
    HWND window = CreateWindowExA(0, "ZavBenchMinimal", "Minimal", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 370, 350, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
