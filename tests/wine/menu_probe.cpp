// The probe DLL: runs inside zavkonfig.exe, on its UI thread, called by the
// WH_GETMESSAGE hook that the test harness sets. It answers the harness's
// probe messages (see probe_protocol.h) and leaves every other message alone;
// on request it lets the disk fill up under the program.
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

// ---- A disk that fills up ----
// The program's WriteFile import is pointed at write_to_filling_disk, which
// passes every write on and lets disk files take only the bytes left. Only
// the exe's own calls go through it (its import table), not those of the
// system's DLLs; the serial port is no disk file and is not touched.
using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFunction g_write_file = nullptr;
DWORD g_disk_bytes_left = 0;

BOOL WINAPI write_to_filling_disk(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (GetFileType(file) != FILE_TYPE_DISK) return g_write_file(file, bytes, count, written, overlapped);
    const DWORD fits = count < g_disk_bytes_left ? count : g_disk_bytes_left;
    DWORD done = 0;
    if (fits > 0 && !g_write_file(file, bytes, fits, &done, overlapped)) return FALSE;
    g_disk_bytes_left -= done;
    if (written) *written = done;
    if (done < count) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

// The slot of the exe's import table through which it calls function of
// dll; nullptr when the exe does not import it by name.
void** import_slot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name;
         ++module) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), dll) != 0 || !module->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

const char* fill_disk(DWORD bytes_left) {
    g_disk_bytes_left = bytes_left;
    if (g_write_file) return "filling";
    void** slot = import_slot("kernel32.dll", "WriteFile");
    if (!slot) return "no WriteFile import";
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return "import table not writable";
    g_write_file = reinterpret_cast<WriteFileFunction>(*slot);
    *slot = reinterpret_cast<void*>(&write_to_filling_disk);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return "filling";
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
        } else if (block->query == zavtest::kProbeFillDisk) {
            std::snprintf(block->answer, zavtest::kProbeAnswerBytes, "%s",
                          fill_disk(static_cast<DWORD>(message.lParam)));
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
