#include "cli/platform/pause.h"

#include <windows.h>

#include "cli/platform/interrupt.h"

namespace zav::cli {

namespace {

// Short enough for Ctrl+C to feel immediate.
constexpr DWORD kStepMs = 50;

}  // namespace

bool pause_unless_interrupted(uint32_t ms) {
    const DWORD started = GetTickCount();
    while (interrupt_count() == 0 && !waits_ended()) {
        const DWORD waited = GetTickCount() - started;
        if (waited >= ms) break;
        Sleep(ms - waited < kStepMs ? ms - waited : kStepMs);
    }
    return interrupt_count() == 0 && !waits_ended();
}

}  // namespace zav::cli
