#include "cli/platform/pause.h"

#include <time.h>

#include "cli/platform/interrupt.h"

namespace zav::cli {

bool pause_unless_interrupted(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal ends the sleep early (EINTR); only Ctrl+C ends the pause.
    while (interrupt_count() == 0 && nanosleep(&left, &left) != 0) {
    }
    return interrupt_count() == 0;
}

}  // namespace zav::cli
