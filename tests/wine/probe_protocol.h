// What the test harness and the probe DLL agree on. The probe DLL is loaded
// into zavkonfig.exe by a WH_GETMESSAGE hook on its UI thread, because menus
// and icons can only be examined inside the process that owns them.
//
// A request: the harness writes the query into the shared block, then posts
// the registered probe message (wParam = request id, lParam = argument) to a
// window of the program's UI thread. The hook answers when that thread takes
// the message from its queue -- also inside a modal loop such as a message
// box -- writes the answer, sets answered_id and signals the done event.
#pragma once

#include <windows.h>

namespace zavtest {

constexpr const char kProbeMessageName[] = "ZavKonfigTestProbe";
constexpr const char kProbeMappingName[] = "ZavKonfigTestProbeBlock";
constexpr const char kProbeDoneEventName[] = "ZavKonfigTestProbeDone";
constexpr const char kProbeHookExport[] = "ZavProbeHook";

enum ProbeQuery : LONG {
    kProbeMenu = 1,  // the menu of the window the message was posted to, as text
    kProbeIcon = 2,  // the icon kind of the static control given in lParam
    // Queues WM_CLOSE for the window, then holds the UI thread until the
    // message given in lParam is posted to the window behind it.
    kProbeCloseAheadOf = 3,
    // From now on the disk takes only lParam more bytes of the program's
    // own writes (zavkonfig.exe's calls of WriteFile on a disk file): a write
    // beyond them writes what still fits and fails with ERROR_DISK_FULL.
    kProbeFillDisk = 4,
};

constexpr size_t kProbeAnswerBytes = 60000;

struct ProbeBlock {
    volatile LONG query;
    volatile LONG request_id;
    volatile LONG answered_id;
    char answer[kProbeAnswerBytes];
};

}  // namespace zavtest
