// The Windows side of tools/bench: starts programs, presses menu items and
// buttons, and times when windows and message boxes become visible. It is
// steered line by line on stdin by the benchmark script and answers one line
// per command on stdout, so that the script can read the Unix side (CPU
// clocks, memory) exactly between the steps.
//
// Times are QueryPerformanceCounter seconds; under Wine that counter is the
// host's CLOCK_MONOTONIC_RAW, the clock the wire model stamps bytes with.
//
// Commands (answers start with the command's word, or "error"):
//   now                                   now T
//   start CLASS EXE [ARGUMENT]            started T_CREATE T_VISIBLE WINDOWS_PID
//   end                                   ended            (terminates the program)
//   open MENU_ID CHILD_CLASS LAST_ID      opened           (a child window and its last control)
//   close CHILD_CLASS                     closed
//   menu ID CAPTION                       done T_POST T_BOX TEXT   (menu command, then its box)
//   click CHILD_CLASS ID CAPTION          done T_POST T_BOX TEXT   (button, then its box)
//   user CAPTION                          done T_POST T_BOX TEXT   (WM_USER to the main window)
//   ok                                    okd              (presses OK on the last box)
//   poll SECONDS                          polled           (polls for a box that never comes)
//   reference_read PORT                   read_done T_COMMAND T_END BLOCKS
//   quit
//
// reference_read is the yardstick for the link: one thread that opens the
// port as the program does (overlapped, 1 ms read interval), sends the read
// command, answers every block with 60 and stops after the last block and
// 500 ms of silence. No receiver thread, no worker, no window: what it costs
// per byte is what Wine's serial reads cost.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kBoxTimeoutMs = 30000;
constexpr int kShortTimeoutMs = 5000;

struct Target {
    PROCESS_INFORMATION process{};
    HWND main_window = nullptr;
    HWND last_box = nullptr;
};

Target g_target;
double g_tick_seconds = 0;

double now_seconds() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * g_tick_seconds;
}

void answer(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Polls every millisecond: the resolution of every time this driver reports.
template <typename Found>
HWND poll_for(Found found, int timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = found();
        if (window) return window;
        if (static_cast<int>(GetTickCount() - start) > timeout_ms) return nullptr;
        Sleep(1);
    }
}

// A visible top-level window of the target process with this class (and caption).
HWND visible_window(const char* class_name, const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, class_name, caption)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == g_target.process.dwProcessId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

HWND child_of_class(const char* class_name) {
    if (!g_target.main_window) return nullptr;
    return FindWindowExA(g_target.main_window, nullptr, class_name, nullptr);
}

std::string text_of(HWND window) {
    char text[512] = {};
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

void end_target() {
    if (g_target.process.hProcess) {
        TerminateProcess(g_target.process.hProcess, 0);
        WaitForSingleObject(g_target.process.hProcess, kShortTimeoutMs);
        CloseHandle(g_target.process.hProcess);
        CloseHandle(g_target.process.hThread);
    }
    g_target = Target();
}

void start(const std::vector<std::string>& words) {
    if (words.size() < 3) return answer("error start CLASS EXE [ARGUMENT]");
    end_target();
    std::string command_line = "\"" + words[2] + "\"";
    if (words.size() > 3) command_line += " " + words[3];
    std::vector<char> buffer(command_line.begin(), command_line.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const double created = now_seconds();
    if (!CreateProcessA(words[2].c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &g_target.process)) {
        return answer("error cannot start %s (%lu)", words[2].c_str(), GetLastError());
    }
    const char* class_name = words[1].c_str();
    g_target.main_window = poll_for([&] { return visible_window(class_name, nullptr); }, kStartTimeoutMs);
    const double visible = now_seconds();
    if (!g_target.main_window) return answer("error no window %s", class_name);
    answer("started %.6f %.6f %lu", created, visible, g_target.process.dwProcessId);
}

// Posts what starts the command, then waits for the box it ends with.
void post_and_time_box(HWND to, UINT message, WPARAM wparam, LPARAM lparam, const char* caption) {
    const double posted = now_seconds();
    PostMessageA(to, message, wparam, lparam);
    HWND box = poll_for([&] { return visible_window("#32770", caption); }, kBoxTimeoutMs);
    const double shown = now_seconds();
    if (!box) {
        HWND other = visible_window("#32770", nullptr);
        return answer("error no box %s; open: \"%s\" \"%s\"", caption, text_of(other).c_str(),
                      text_of(other ? GetDlgItem(other, 0xFFFF) : nullptr).c_str());
    }
    g_target.last_box = box;
    HWND text = poll_for([&] { return GetDlgItem(box, 0xFFFF); }, kShortTimeoutMs);
    answer("done %.6f %.6f %s", posted, shown, text_of(text).c_str());
}

void menu(const std::vector<std::string>& words) {
    if (words.size() < 3) return answer("error menu ID CAPTION");
    post_and_time_box(g_target.main_window, WM_COMMAND, MAKEWPARAM(std::atoi(words[1].c_str()), 0), 0,
                      words[2].c_str());
}

void click(const std::vector<std::string>& words) {
    if (words.size() < 4) return answer("error click CHILD_CLASS ID CAPTION");
    HWND child = child_of_class(words[1].c_str());
    const int id = std::atoi(words[2].c_str());
    HWND button = child ? GetDlgItem(child, id) : nullptr;
    if (!button) return answer("error no control %d in %s", id, words[1].c_str());
    post_and_time_box(child, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button),
                      words[3].c_str());
}

void open_child(const std::vector<std::string>& words) {
    if (words.size() < 4) return answer("error open MENU_ID CHILD_CLASS LAST_ID");
    PostMessageA(g_target.main_window, WM_COMMAND, MAKEWPARAM(std::atoi(words[1].c_str()), 0), 0);
    const char* class_name = words[2].c_str();
    const int last_id = std::atoi(words[3].c_str());
    HWND child = poll_for([&] { return child_of_class(class_name); }, kShortTimeoutMs);
    if (!child || !poll_for([&] { return GetDlgItem(child, last_id); }, kShortTimeoutMs))
        return answer("error no %s window", class_name);
    answer("opened");
}

void close_child(const std::vector<std::string>& words) {
    if (words.size() < 2) return answer("error close CHILD_CLASS");
    HWND child = child_of_class(words[1].c_str());
    if (!child) return answer("error no %s window", words[1].c_str());
    PostMessageA(child, WM_CLOSE, 0, 0);
    if (!poll_for([&] { return IsWindow(child) ? nullptr : child; }, kShortTimeoutMs))
        return answer("error %s stays open", words[1].c_str());
    answer("closed");
}

void press_ok() {
    HWND box = g_target.last_box;
    if (!box) return answer("error no box");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (!poll_for([&] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : box; }, kShortTimeoutMs))
        return answer("error box stays");
    g_target.last_box = nullptr;
    answer("okd");
}

void poll_nothing(const std::vector<std::string>& words) {
    const double seconds = words.size() > 1 ? std::atof(words[1].c_str()) : 1.0;
    poll_for([] { return visible_window("#32770", "ZavBenchNothing"); }, static_cast<int>(seconds * 1000));
    answer("polled");
}

bool write_frame(HANDLE port, OVERLAPPED& write, const uint8_t* bytes, DWORD n) {
    write.Offset = write.OffsetHigh = 0;
    DWORD written = 0;
    if (WriteFile(port, bytes, n, nullptr, &write)) return true;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(port, &write, &written, TRUE) != 0;
}

void reference_read(const std::vector<std::string>& words) {
    if (words.size() < 2) return answer("error reference_read PORT");
    const std::string path = "\\\\.\\" + words[1];
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) return answer("error cannot open %s (%lu)", words[1].c_str(), GetLastError());
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, 1024, 1024);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    COMMTIMEOUTS timeouts = {1, 0, 0, 10, 100};
    SetCommTimeouts(port, &timeouts);
    DCB line = {};
    line.DCBlength = sizeof line;
    GetCommState(port, &line);
    line.BaudRate = CBR_2400;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = 1;
    line.fOutxCtsFlow = line.fOutxDsrFlow = 0;
    line.fDtrControl = DTR_CONTROL_DISABLE;
    line.fRtsControl = RTS_CONTROL_DISABLE;
    line.fOutX = line.fInX = 0;
    SetCommState(port, &line);

    OVERLAPPED read = {};
    OVERLAPPED write = {};
    read.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    write.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    static const uint8_t kCommand[3] = {0xFF, 0x2D, 0xFE};
    static const uint8_t kTaken[3] = {0xFF, 0x60, 0xFE};
    const double commanded = now_seconds();
    write_frame(port, write, kCommand, sizeof kCommand);

    uint8_t input[256];
    uint8_t frame[128];
    size_t length = 0;
    bool in_frame = false, escaped = false, last_block = false;
    int blocks = 0;
    for (;;) {
        read.Offset = read.OffsetHigh = 0;
        DWORD count = 0;
        if (!ReadFile(port, input, sizeof input, nullptr, &read)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            if (WaitForSingleObject(read.hEvent, 500) == WAIT_TIMEOUT) {
                CancelIo(port);
                GetOverlappedResult(port, &read, &count, TRUE);
                if (last_block) break;
                continue;
            }
        }
        if (!GetOverlappedResult(port, &read, &count, FALSE)) continue;
        for (DWORD i = 0; i < count; ++i) {
            const uint8_t byte = input[i];
            if (byte == 0xFF) {
                in_frame = true;
                escaped = false;
                length = 0;
            } else if (byte == 0xFD) {
                escaped = true;
            } else if (byte == 0xFE && in_frame) {
                in_frame = false;
                if (length >= 2 && frame[0] != 0xF0) {
                    ++blocks;
                    if (frame[0] == 0xFF && frame[1] == 0xFF) last_block = true;
                    write_frame(port, write, kTaken, sizeof kTaken);
                }
            } else if (in_frame && length < sizeof frame) {
                frame[length++] = escaped ? static_cast<uint8_t>(byte | 0x80) : byte;
                escaped = false;
            }
        }
    }
    const double ended = now_seconds();
    CloseHandle(read.hEvent);
    CloseHandle(write.hEvent);
    CloseHandle(port);
    answer("read_done %.6f %.6f %d", commanded, ended, blocks);
}

std::vector<std::string> split(const char* line) {
    std::vector<std::string> words;
    std::string word;
    for (const char* p = line; *p; ++p) {
        if (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += *p;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

}  // namespace

int main() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_tick_seconds = 1.0 / static_cast<double>(frequency.QuadPart);
    char line[2048];
    while (std::fgets(line, sizeof line, stdin)) {
        const std::vector<std::string> words = split(line);
        if (words.empty()) continue;
        const std::string& verb = words[0];
        if (verb == "now") answer("now %.6f", now_seconds());
        else if (verb == "start") start(words);
        else if (verb == "end") {
            end_target();
            answer("ended");
        } else if (verb == "open") open_child(words);
        else if (verb == "close") close_child(words);
        else if (verb == "menu") menu(words);
        else if (verb == "click") click(words);
        else if (verb == "user") {
            if (words.size() < 2) answer("error user CAPTION");
            else post_and_time_box(g_target.main_window, WM_USER, 0, 0, words[1].c_str());
        } else if (verb == "ok") press_ok();
        else if (verb == "poll") poll_nothing(words);
        else if (verb == "reference_read") reference_read(words);
        else if (verb == "quit") break;
        else answer("error unknown command %s", verb.c_str());
    }
    end_target();
    return 0;
}
