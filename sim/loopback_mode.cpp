#include "sim/loopback_mode.h"

#include <algorithm>
#include <vector>

namespace zav::sim {

// The times are kept from one byte to the next, so that a late wake-up of
// this process does not make the line slower.
bool LoopbackMode::receive(const uint8_t* bytes, size_t n) {
    long long at = std::max(now_ns(), output_.end_ns());
    for (size_t i = 0; i < n; ++i) {
        at += line_.byte_time_ns();
        output_.send_at(at, std::vector<uint8_t>(1, bytes[i]));
    }
    return true;
}

}  // namespace zav::sim
