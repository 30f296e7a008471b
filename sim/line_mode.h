// What answers the program on the line: the virtual device, a traced
// device replayed, or a loopback plug. zavsim runs one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav::sim {

class LineMode {
public:
    virtual ~LineMode() = default;
    // Bytes that came from the program. False when the line must be hung
    // up now.
    virtual bool receive(const uint8_t* bytes, size_t n) = 0;
    // What is attached, for the line zavsim starts with ("a loopback plug").
    virtual std::string describe() const = 0;
};

}  // namespace zav::sim
