#include "sim/write_all.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zav::sim {

void write_all(int fd, const uint8_t* bytes, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t written = write(fd, bytes + done, n - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd wait{fd, POLLOUT, 0};
            poll(&wait, 1, 100);
        } else {
            return;
        }
    }
}

}  // namespace zav::sim
