// The probe DLL: runs inside zavkonfig.exe, on its UI thread, called by the
// WH_GETMESSAGE hook that the test harness sets. It answers the harness's
// probe messages (see probe_protocol.h) and leaves every other message alone.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "probe_protocol.h"

namespace {

using zavtest::ProbeBlock;

// Appends one line per menu item: depth, id, state flags, kind, text.
// Pop-ups are followed by their items at depth + 1.
void describe_menu(HMENU menu, int depth, char* out, size_t& used) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text - 1;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        int id = info.hSubMenu ? -1 : static_cast<int>(info.wID);
        int written = std::snprintf(out + used, zavtest::kProbeAnswerBytes - used, "%d\t%d\t%u\t%s\t%s\n", depth, id,
                                    info.fState, info.hSubMenu ? "popup" : "command", text);
        if (written < 0 || used + static_cast<size_t>(written) >= zavtest::kProbeAnswerBytes) return;
        used += static_cast<size_t>(written);
        if (info.hSubMenu) describe_menu(info.hSubMenu, depth + 1, out, used);
    }
}

const char* icon_kind(HWND control) {
    HICON icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
    if (!icon) return "none";
    if (icon == LoadIcon(nullptr, IDI_ERROR)) return "error";
    if (icon == LoadIcon(nullptr, IDI_INFORMATION)) return "information";
    if (icon == LoadIcon(nullptr, IDI_WARNING)) return "warning";
    if (icon == LoadIcon(nullptr, IDI_QUESTION)) return "question";
    return "other";
}

// Holds the UI thread until the awaited message stands in the window's queue
// behind a close queued first, so that the window handles the close first.
// Polls for at most 20 s.
const char* close_ahead_of(HWND window, UINT awaited) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    MSG first;
    if (!PeekMessageA(&first, window, 0, 0, PM_NOREMOVE) || first.message != WM_CLOSE) return "came first";
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(1)) {
        MSG awaited_message;
        if (PeekMessageA(&awaited_message, window, awaited, awaited, PM_NOREMOVE)) return "behind the close";
    }
    return "was not posted";
}

void answer(const MSG& message) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, zavtest::kProbeMappingName);
    if (!mapping) return;
    auto* block = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
    if (block) {
        size_t used = 0;
        block->answer[0] = 0;
        if (block->query == zavtest::kProbeMenu) {
            HMENU menu = GetMenu(message.hwnd);
            if (menu) describe_menu(menu, 0, block->answer, used);
        } else if (block->query == zavtest::kProbeIcon) {
            std::snprintf(block->answer, zavtest::kProbeAnswerBytes, "%s",
                          icon_kind(reinterpret_cast<HWND>(message.lParam)));
        } else if (block->query == zavtest::kProbeCloseAheadOf) {
            std::snprintf(block->answer, zavtest::kProbeAnswerBytes, "%s",
                          close_ahead_of(message.hwnd, static_cast<UINT>(message.lParam)));
        }
        MemoryBarrier();
        block->answered_id = static_cast<LONG>(message.wParam);
        UnmapViewOfFile(block);
        HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, zavtest::kProbeDoneEventName);
        if (done) {
            SetEvent(done);
            CloseHandle(done);
        }
    }
    CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ZavProbeHook(int code, WPARAM removal, LPARAM lparam) {
    static UINT probe_message = RegisterWindowMessageA(zavtest::kProbeMessageName);
    if (code == HC_ACTION && removal == PM_REMOVE) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == probe_message) {
            answer(*message);
            message->message = WM_NULL;  // the program never sees it
        }
    }
    return CallNextHookEx(nullptr, code, removal, lparam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
