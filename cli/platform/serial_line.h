// The serial line as the command-line tool sees it: write bytes, wait a
// bounded time for bytes, and a clock. The transaction runner drives the
// device machines through this and nothing else, so that the same runner
// serves a real port (posix/serial_port.cpp, win32/serial_port.cpp) and a
// scripted device on a virtual clock in the tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav::cli {

enum class LineStatus {
    kOk,           // bytes were written, or at least one byte was read
    kTimedOut,     // read: nothing arrived within the time given
    kGone,         // the line is gone (adapter pulled, other end hung up)
    kInterrupted,  // the user asked to stop (Ctrl+C)
};

class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Writes all n bytes and returns once they have left the port, so that
    // the wait for the answer starts after the frame. A write whose bytes
    // are not out within 100 + 10 n ms is given up (kTimedOut), as the
    // program's port does: the missing answer then counts against the
    // attempts.
    virtual LineStatus write(const uint8_t* bytes, size_t n) = 0;

    // Waits at most timeout_ms for bytes and reads what has arrived, up to
    // size bytes, into buffer (count set on kOk).
    virtual LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) = 0;

    // Drops what has arrived and not been read. The windowed program opens
    // its port anew for every transaction, which does this; the tool keeps
    // the port open and calls this before each transaction instead. What
    // was written is left to go out.
    virtual void discard_pending() = 0;
};

// Milliseconds of a monotonic clock; only differences mean anything.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t now_ms() = 0;
};

}  // namespace zav::cli
