// Writes all bytes to a descriptor, waiting while it is full (a
// non-blocking terminal) and giving up on any other error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav::sim {

void write_all(int fd, const uint8_t* bytes, size_t n);

}  // namespace zav::sim
