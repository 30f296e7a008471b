// winsock2.h must come before windows.h, which harness.h includes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "probe_protocol.h"

namespace zavtest {
namespace {

std::string environment(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string module_folder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// ---- Probe ----

struct Probe {
    HMODULE dll = nullptr;
    HOOKPROC hook = nullptr;
    HANDLE mapping = nullptr;
    ProbeBlock* block = nullptr;
    HANDLE done = nullptr;
    UINT message = 0;
    LONG next_id = 0;
};

Probe& probe() {
    static Probe instance;
    return instance;
}

bool probe_ready() {
    Probe& p = probe();
    if (p.block) return true;
    std::string path = environment("ZAV_PROBE_DLL");
    if (path.empty()) path = module_folder() + "menu_probe.dll";
    p.dll = LoadLibraryA(path.c_str());
    if (!p.dll) {
        std::fprintf(stderr, "harness: cannot load %s\n", path.c_str());
        return false;
    }
    p.hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(p.dll, kProbeHookExport)));
    p.mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeBlock),
                                   kProbeMappingName);
    p.done = CreateEventA(nullptr, FALSE, FALSE, kProbeDoneEventName);
    p.message = RegisterWindowMessageA(kProbeMessageName);
    if (!p.hook || !p.mapping || !p.done) return false;
    p.block = static_cast<ProbeBlock*>(MapViewOfFile(p.mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
    return p.block != nullptr;
}

// Asks the program's UI thread (through window) and returns the answer text.
bool ask_probe(HWND window, LONG query, LPARAM argument, std::string& answer, int timeout_ms = kShortWait) {
    if (!probe_ready() || !window) return false;
    Probe& p = probe();
    LONG id = ++p.next_id;
    p.block->query = query;
    p.block->request_id = id;
    p.block->answered_id = 0;
    MemoryBarrier();
    ResetEvent(p.done);
    if (!PostMessageA(window, p.message, static_cast<WPARAM>(id), argument)) return false;
    DWORD start = GetTickCount();
    while (p.block->answered_id != id) {
        int left = timeout_ms - static_cast<int>(GetTickCount() - start);
        if (left <= 0) return false;
        WaitForSingleObject(p.done, static_cast<DWORD>(left < 50 ? left : 50));
    }
    MemoryBarrier();
    answer.assign(p.block->answer);
    return true;
}

// ---- Window search ----

struct Search {
    DWORD process_id;
    const char* class_name;
    const char* caption;
    HWND found;
};

BOOL CALLBACK match_top_level(HWND window, LPARAM context) {
    Search& search = *reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.process_id || !IsWindowVisible(window)) return TRUE;
    if (search.class_name && class_name(window) != search.class_name) return TRUE;
    if (search.caption && window_text(window) != search.caption) return TRUE;
    search.found = window;
    return FALSE;
}

struct ChildSearch {
    const char* class_name;
    const char* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_child(HWND window, LPARAM context) {
    ChildSearch& search = *reinterpret_cast<ChildSearch*>(context);
    if (search.class_name && lstrcmpiA(class_name(window).c_str(), search.class_name) != 0) return TRUE;
    if (search.caption && window_text(window) != search.caption) return TRUE;
    search.found.push_back(window);
    return TRUE;
}

std::string quoted_path(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

// ---- Program ----

bool start_program(Program& program, const std::string& argument_text) {
    std::string exe = environment("ZAV_EXE");
    if (exe.empty()) {
        std::fprintf(stderr, "harness: ZAV_EXE is not set\n");
        return false;
    }
    std::string command_line = quoted_path(exe);
    if (!argument_text.empty()) command_line += " " + argument_text;
    std::vector<char> buffer(command_line.begin(), command_line.end());
    buffer.push_back(0);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program.process)) {
        std::fprintf(stderr, "harness: cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return false;
    }
    if (!wait_until([&] { return (program.main_window = find_program_window(program, "ZAV_DSP")) != nullptr; },
                    15000))
        return false;
    program.ui_thread = GetWindowThreadProcessId(program.main_window, nullptr);
    if (probe_ready())
        program.probe_hook = SetWindowsHookExA(WH_GETMESSAGE, probe().hook, probe().dll, program.ui_thread);
    return true;
}

bool attach_program(Program& program, int timeout_ms) {
    if (!wait_until([&] { return (program.main_window = FindWindowA("ZAV_DSP", nullptr)) != nullptr; }, timeout_ms))
        return false;
    DWORD process_id = 0;
    program.ui_thread = GetWindowThreadProcessId(program.main_window, &process_id);
    program.process.hProcess =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process_id);
    program.process.dwProcessId = process_id;
    if (probe_ready())
        program.probe_hook = SetWindowsHookExA(WH_GETMESSAGE, probe().hook, probe().dll, program.ui_thread);
    return program.process.hProcess != nullptr;
}

bool program_running(const Program& program) {
    return program.process.hProcess && WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT;
}

bool wait_program_exit(const Program& program, DWORD& exit_code, int timeout_ms) {
    if (!program.process.hProcess) return false;
    if (WaitForSingleObject(program.process.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(program.process.hProcess, &exit_code) != 0;
}

void end_program(Program& program) {
    if (program.probe_hook) UnhookWindowsHookEx(program.probe_hook);
    if (program.process.hProcess) {
        if (program_running(program)) {
            TerminateProcess(program.process.hProcess, 99);
            WaitForSingleObject(program.process.hProcess, 5000);
        }
        CloseHandle(program.process.hProcess);
        if (program.process.hThread) CloseHandle(program.process.hThread);
    }
    program = Program();
}

HWND find_program_window(const Program& program, const char* class_name, const char* caption) {
    Search search{program.process.dwProcessId, class_name, caption, nullptr};
    EnumWindows(match_top_level, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- Windows and controls ----

std::string window_text(HWND window) {
    // WM_GETTEXT with a time-out: a window of a hung program must not hang
    // the test as well.
    char text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                             &copied))
        return std::string();
    return std::string(text, strnlen(text, sizeof text));
}

std::string class_name(HWND window) {
    char name[256];
    int n = GetClassNameA(window, name, sizeof name);
    return std::string(name, n > 0 ? static_cast<size_t>(n) : 0);
}

RECT window_rect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT client_rect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

bool is_enabled(HWND window) { return IsWindowEnabled(window) != 0; }
bool is_visible(HWND window) { return IsWindowVisible(window) != 0; }

HWND find_child(HWND parent, int id) {
    HWND direct = GetDlgItem(parent, id);
    if (direct) return direct;
    ChildSearch search{nullptr, nullptr, {}};
    EnumChildWindows(parent, collect_child, reinterpret_cast<LPARAM>(&search));
    for (HWND child : search.found)
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

std::vector<HWND> find_children_by_class(HWND parent, const char* class_name) {
    ChildSearch search{class_name, nullptr, {}};
    EnumChildWindows(parent, collect_child, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND find_child_by_class(HWND parent, const char* class_name, const char* caption) {
    ChildSearch search{class_name, caption, {}};
    EnumChildWindows(parent, collect_child, reinterpret_cast<LPARAM>(&search));
    return search.found.empty() ? nullptr : search.found.front();
}

std::string hex_text(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

namespace {

// Item texts of another process's list or combo box. Wine hands the ANSI
// LB_GETTEXT / CB_GETLBTEXT between processes back unconverted (only the
// first character arrives), so read the wide text and convert it to the
// program's code page ourselves.
std::vector<std::string> item_texts(HWND control, UINT count_message, UINT length_message, UINT text_message) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageW(control, count_message, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t wide[1024] = {};
        if (SendMessageW(control, length_message, static_cast<WPARAM>(i), 0) >=
            static_cast<LRESULT>(sizeof wide / sizeof wide[0])) {
            items.push_back("<too long>");
            continue;
        }
        SendMessageW(control, text_message, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
        char text[1024] = {};
        WideCharToMultiByte(1252, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

}  // namespace

std::vector<std::string> list_box_items(HWND list) {
    return item_texts(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

int list_box_selection(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)); }

std::vector<std::string> combo_items(HWND combo) {
    return item_texts(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int combo_selection(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

bool is_checked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void click(HWND button) {
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void set_text(HWND edit, const std::string& text) {
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void select_combo_item(HWND combo, int index) {
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// ---- Menu ----

void post_menu_command(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool read_menu(const Program& program, HWND window, std::vector<MenuEntry>& entries) {
    (void)program;
    std::string answer;
    if (!ask_probe(window, kProbeMenu, 0, answer)) return false;
    entries.clear();
    size_t at = 0;
    while (at < answer.size()) {
        size_t end = answer.find('\n', at);
        if (end == std::string::npos) end = answer.size();
        std::string line = answer.substr(at, end - at);
        at = end + 1;
        int depth = 0, id = 0;
        unsigned state = 0;
        char kind[16] = {};
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%d\t%d\t%u\t%15[^\t]\t%n", &depth, &id, &state, kind, &consumed) < 4) continue;
        MenuEntry entry;
        entry.depth = depth;
        entry.id = id;
        entry.popup = std::strcmp(kind, "popup") == 0;
        entry.grayed = (state & (MFS_GRAYED | MFS_DISABLED)) != 0;
        entry.text = consumed > 0 ? line.substr(static_cast<size_t>(consumed)) : std::string();
        entries.push_back(entry);
    }
    return true;
}

bool sync_with_program(const Program& program, HWND window) {
    std::string answer;
    return ask_probe(window ? window : program.main_window, kProbeMenu, 0, answer);
}

bool close_ahead_of(HWND window, UINT message, std::string& outcome) {
    outcome = "gave no answer";
    return ask_probe(window, kProbeCloseAheadOf, static_cast<LPARAM>(message), outcome, 25000) &&
           outcome == "behind the close";
}

bool fill_disk_after(const Program& program, DWORD bytes_left, std::string& outcome) {
    outcome = "gave no answer";
    return ask_probe(program.main_window, kProbeFillDisk, static_cast<LPARAM>(bytes_left), outcome) &&
           outcome == "filling";
}

ItemState menu_item_state(const Program& program, int id) {
    std::vector<MenuEntry> entries;
    if (!read_menu(program, program.main_window, entries)) return ItemState::unknown;
    for (const MenuEntry& entry : entries)
        if (!entry.popup && entry.id == id) return entry.grayed ? ItemState::grayed : ItemState::enabled;
    return ItemState::missing;
}

const char* to_string(ItemState state) {
    switch (state) {
        case ItemState::missing: return "missing";
        case ItemState::enabled: return "enabled";
        case ItemState::grayed: return "grayed";
        case ItemState::unknown: return "unknown (probe failed)";
    }
    return "?";
}

// ---- Message boxes ----

const char* to_string(IconKind kind) {
    switch (kind) {
        case IconKind::none: return "none";
        case IconKind::error: return "error";
        case IconKind::information: return "information";
        case IconKind::warning: return "warning";
        case IconKind::question: return "question";
        case IconKind::other: return "other";
        case IconKind::unknown: return "unknown";
    }
    return "?";
}

HWND wait_dialog(const Program& program, const char* caption, int timeout_ms) {
    HWND found = nullptr;
    wait_until([&] { return (found = find_program_window(program, "#32770", caption)) != nullptr; }, timeout_ms);
    return found;
}

HWND open_dialog(const Program& program) { return find_program_window(program, "#32770"); }

bool wait_message_box(const Program& program, const char* caption, MessageBoxInfo& box, int timeout_ms) {
    box = MessageBoxInfo();
    box.window = wait_dialog(program, caption, timeout_ms);
    if (!box.window) {
        HWND other = open_dialog(program);
        if (other)
            std::fprintf(stderr, "harness: expected a box \"%s\", found \"%s\": \"%s\"\n", caption,
                         window_text(other).c_str(), window_text(GetDlgItem(other, 0xFFFF)).c_str());
        return false;
    }
    box.caption = window_text(box.window);
    box.owner = GetWindow(box.window, GW_OWNER);
    HWND text = nullptr;
    // The text may be set just after the box appears.
    wait_until([&] { return (text = GetDlgItem(box.window, 0xFFFF)) != nullptr; }, 2000);
    box.text = text ? window_text(text) : std::string();
    box.icon = IconKind::none;
    for (HWND statik : find_children_by_class(box.window, "Static")) {
        if ((GetWindowLongA(statik, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        std::string kind;
        if (!ask_probe(box.window, kProbeIcon, reinterpret_cast<LPARAM>(statik), kind)) {
            box.icon = IconKind::unknown;
        } else if (kind == "error") box.icon = IconKind::error;
        else if (kind == "information") box.icon = IconKind::information;
        else if (kind == "warning") box.icon = IconKind::warning;
        else if (kind == "question") box.icon = IconKind::question;
        else if (kind == "none") box.icon = IconKind::none;
        else box.icon = IconKind::other;
        if (box.icon != IconKind::none) break;
    }
    return true;
}

bool press_button_and_wait_closed(HWND dialog, int id, int timeout_ms) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return wait_until([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeout_ms);
}

bool press_ok(const MessageBoxInfo& box, int timeout_ms) {
    return box.window && press_button_and_wait_closed(box.window, IDOK, timeout_ms);
}

// ---- Virtual device ----

bool sim_command(const std::string& command, std::string& reply) {
    static bool started = false;
    if (!started) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        started = true;
    }
    reply.clear();
    std::string port = environment("ZAV_SIM_CONTROL");
    if (port.empty()) {
        std::fprintf(stderr, "harness: ZAV_SIM_CONTROL is not set\n");
        return false;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    DWORD timeout = 5000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(port.c_str())));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    std::string line = command + "\n";
    if (ok) ok = send(s, line.data(), static_cast<int>(line.size()), 0) == static_cast<int>(line.size());
    // The answer is one line, except for "log": "ok N" and N lines more.
    std::string received;
    size_t lines_wanted = 1;
    bool is_log = command == "log";
    while (ok) {
        size_t lines = 0;
        for (char c : received) lines += c == '\n';
        if (is_log && lines >= 1 && lines_wanted == 1) {
            lines_wanted = 1 + static_cast<size_t>(std::atoi(received.c_str() + 3));
            if (received.compare(0, 2, "ok") != 0) lines_wanted = 1;
        }
        if (lines >= lines_wanted) break;
        char buffer[8192];
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) {
            ok = false;
            break;
        }
        received.append(buffer, static_cast<size_t>(n));
    }
    closesocket(s);
    if (!received.empty() && received.back() == '\n') received.pop_back();
    reply = received;
    return ok;
}

bool sim(const std::string& command) {
    std::string reply;
    bool ok = sim_command(command, reply) && reply.compare(0, 2, "ok") == 0;
    if (!ok) std::fprintf(stderr, "harness: zavsim \"%s\" -> \"%s\"\n", command.c_str(), reply.c_str());
    return ok;
}

std::vector<SimFrame> sim_frames() {
    std::vector<SimFrame> frames;
    std::string reply;
    // An empty list would pass every "nothing was sent" check: a log that
    // cannot be read fails the test instead.
    if (!sim_command("log", reply) || reply.compare(0, 3, "ok ") != 0) {
        ADD_FAILURE() << "zavsim's frame log could not be read: \"" << reply << "\"";
        return frames;
    }
    size_t at = reply.find('\n');
    while (at != std::string::npos && at + 1 < reply.size()) {
        size_t end = reply.find('\n', at + 1);
        std::string line = reply.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        at = end;
        SimFrame frame;
        char direction[16] = {};
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%lf %15s%n", &frame.seconds, direction, &consumed) < 2) continue;
        frame.from_device = std::strcmp(direction, "dev>pc") == 0;
        const char* p = line.c_str() + consumed;
        unsigned byte = 0;
        int used = 0;
        while (std::sscanf(p, " %2x%n", &byte, &used) == 1) {
            frame.payload.push_back(static_cast<uint8_t>(byte));
            p += used;
        }
        frames.push_back(frame);
    }
    const size_t announced = static_cast<size_t>(std::atoi(reply.c_str() + 3));
    if (frames.size() != announced)
        ADD_FAILURE() << "zavsim announced " << announced << " frames, " << frames.size() << " could be read";
    return frames;
}

int count_program_frames(const std::vector<SimFrame>& frames, uint8_t first_byte) {
    int count = 0;
    for (const SimFrame& frame : frames)
        if (!frame.from_device && !frame.payload.empty() && frame.payload[0] == first_byte) ++count;
    return count;
}

namespace {
bool sim_bytes(const char* what, size_t n, std::vector<uint8_t>& bytes) {
    std::string reply;
    if (!sim_command(std::string("get ") + what, reply) || reply.size() != 3 + 2 * n) return false;
    bytes.clear();
    for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(std::strtoul(reply.substr(3 + 2 * i, 2).c_str(), nullptr, 16)));
    return true;
}
}  // namespace

bool sim_stored_record(std::vector<uint8_t>& bytes) { return sim_bytes("record", 110, bytes); }
bool sim_setup_block(std::vector<uint8_t>& bytes) { return sim_bytes("setup", 5, bytes); }

// ---- The program's Unix process ----

namespace {

// A whole /proc file read through Wine's Z: drive; /proc files report size 0,
// so read until the end.
bool read_proc_file(const std::string& path, std::string& text) {
    text.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return true;
}

int count_entries(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// The first Unix process in our prefix whose command line contains needle.
int find_unix_process(const char* needle) {
    const std::string prefix = "WINEPREFIX=" + environment("WINEPREFIX");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    int pid = -1;
    do {
        const char* name = found.cFileName;
        if (name[0] < '1' || name[0] > '9' || std::strspn(name, "0123456789") != std::strlen(name)) continue;
        const std::string folder = std::string("Z:\\proc\\") + name;
        std::string command_line, env;
        if (!read_proc_file(folder + "\\cmdline", command_line) ||
            command_line.find(needle) == std::string::npos)
            continue;
        if (!read_proc_file(folder + "\\environ", env)) continue;
        env.push_back('\0');
        if (env.find(prefix + '\0') == std::string::npos) continue;
        pid = std::atoi(name);
        break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return pid;
}

}  // namespace

int program_unix_pid(const Program& program) {
    if (!program_running(program)) return -1;
    return find_unix_process("zavkonfig.exe");
}

int wineserver_unix_pid() { return find_unix_process("wineserver"); }

bool unix_usage(int pid, UnixUsage& usage) {
    usage = UnixUsage();
    if (pid <= 0) return false;
    const std::string folder = "Z:\\proc\\" + std::to_string(pid);
    std::string stat;
    if (!read_proc_file(folder + "\\stat", stat)) return false;
    // Fields after the command name in parentheses: state is field 3,
    // utime and stime are fields 14 and 15.
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return false;
    usage.cpu_seconds = static_cast<double>(utime + stime) / 100.0;  // USER_HZ
    usage.threads = count_entries(folder + "\\task");
    usage.descriptors = count_entries(folder + "\\fd");
    std::string status;
    if (read_proc_file(folder + "\\status", status)) {
        size_t at = status.find("VmRSS:");
        if (at != std::string::npos) usage.rss_kb = std::atol(status.c_str() + at + 6);
    }
    return true;
}

int line_descriptors(int pid) {
    std::string reply;
    if (pid <= 0 || !sim_command("openers " + std::to_string(pid), reply) || reply.compare(0, 3, "ok ") != 0)
        return -1;
    return std::atoi(reply.c_str() + 3);
}

namespace {

// One entry of the system's handle table (SystemHandleInformation).
struct SystemHandleEntry {
    ULONG owner_pid;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

// Counts the handles of one process in the system's handle table; Wine
// answers GetProcessHandleCount with 0 but keeps this table.
long count_handles_in_system_table(DWORD process_id) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const Query query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<uint8_t> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
            continue;
        }
        if (status != 0) return -1;
        const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
        const size_t first = sizeof(void*) == 8 ? 8 : 4;  // the entries are pointer aligned
        const SystemHandleEntry* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + first);
        long mine = 0;
        for (ULONG i = 0; i < count; ++i) mine += entries[i].owner_pid == process_id;
        return mine;
    }
    return -1;
}

}  // namespace

long program_handle_count(const Program& program) {
    DWORD count = 0;
    if (!program.process.hProcess) return -1;
    if (GetProcessHandleCount(program.process.hProcess, &count) && count > 0) return static_cast<long>(count);
    return count_handles_in_system_table(program.process.dwProcessId);
}

// ---- zavctl.exe ----

namespace {

HANDLE inheritable_file(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool run_tool(const std::string& argument_text, ToolRun& run, int timeout_ms) {
    std::string exe = environment("ZAV_EXE");
    const size_t slash = exe.find_last_of("\\/");
    if (slash == std::string::npos) return false;
    exe = exe.substr(0, slash + 1) + "zavctl.exe";

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string out_path = std::string(folder) + "zavctl-out.txt";
    const std::string err_path = std::string(folder) + "zavctl-err.txt";
    HANDLE out = inheritable_file(out_path);
    HANDLE err = inheritable_file(err_path);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string command = "\"" + exe + "\" " + argument_text;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) return false;
    const bool ended = WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    read_proc_file(out_path, run.out);
    read_proc_file(err_path, run.err);
    return ended;
}

// ---- Layout ----

void layout_units(int& char_width, int& line_height) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    char_width = metrics.tmAveCharWidth;
    line_height = metrics.tmHeight + metrics.tmExternalLeading;
}

// ---- Fixture ----

void ProgramTest::SetUp() { ASSERT_TRUE(sim("reset")) << "the virtual device does not answer"; }

void ProgramTest::TearDown() { end_program(program); }

::testing::AssertionResult ProgramTest::start(const std::string& argument_text) {
    if (!start_program(program, argument_text))
        return ::testing::AssertionFailure() << "zavkonfig.exe did not show its main window";
    if (!program.probe_hook) return ::testing::AssertionFailure() << "the menu probe could not be hooked in";
    return ::testing::AssertionSuccess();
}

}  // namespace zavtest
