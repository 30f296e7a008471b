#include "cli/platform/answer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "cli/platform/interrupt.h"
#include "cli/platform/posix/interrupt_wake.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

bool input_is_terminal() { return isatty(STDIN_FILENO) == 1; }

// The terminal hands over the line once Enter is pressed; Ctrl+C wakes the
// wait through the handler's pipe.
bool read_answer(std::string& line) {
    std::string bytes;
    for (;;) {
        if (interrupt_count() > 0) return false;
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {interrupt_wake_fd(), POLLIN, 0}};
        const nfds_t count = waits[1].fd >= 0 ? 2 : 1;
        if (poll(waits, count, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (count == 2 && (waits[1].revents & POLLIN) != 0) {
            if (interrupt_count() > 0) return false;
            clear_interrupt_wake();  // a wake-up for another thread's sake: not ours
        }
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char byte;
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (byte == '\n') break;
        bytes += byte;
    }
    line = cp1252_from_utf8(bytes);
    return true;
}

}  // namespace zav::cli
