// The line's self-test with a loopback plug (TX bridged to RX): every byte
// value goes out and must come back, unchanged, at the speed of 2400 baud.
//
// Nothing is ever written to a device. The first bytes sent are ones a
// ZAV 160 drops whatever state its decoder is in: none of them is a start,
// end or escape byte, so they neither begin nor end a frame. Only when no
// echo comes is a device asked whether it is there, with the program's
// identification, which a ZAV 160 answers with its setup block and which
// changes nothing in it (every "Verbinden" sends it). The 256 byte values go
// out only once a loop has answered, in ascending order: even a device on
// the same line would find no frame in them, as their only start byte comes
// last and the next frame of any sender drops it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cli/platform/serial_line.h"

namespace zav::cli {

// 10 bits a byte (start, 8 data, stop) at 2400 baud.
constexpr double kByteTimeMs = 10.0 * 1000.0 / 2400.0;
// A byte time outside this is another speed: 1200 baud takes twice as
// long (8.33 ms), 4800 half (2.08 ms). The wide margin above takes a USB
// adapter's latency and a busy computer: the measurement spans all 256
// bytes, and 6 ms a byte leaves 470 ms for them.
constexpr double kShortestByteTimeMs = 3.2;
constexpr double kLongestByteTimeMs = 6.0;
constexpr size_t kLoopBytes = 256;

enum class LoopVerdict {
    kOk,             // every byte came back, at 2400 baud
    kNoEcho,         // nothing came back: adapter, cable, or no plug
    kWrongBytes,     // bytes came back changed (or more than were sent)
    kBytesLost,      // some bytes never came back
    kWrongSpeed,     // all came back, at another speed
    kDeviceAnswers,  // a ZAV 160 answered the identification: no plug on the line
    kOtherAnswer,    // something answered that is neither an echo nor a ZAV 160
    kNotSent,        // the bytes did not get out in the time they take
    kLineGone,       // the port went away
    kInterrupted,    // Ctrl+C
};

struct LoopFindings {
    LoopVerdict verdict = LoopVerdict::kNoEcho;
    size_t bytes_sent = 0;      // 256 once the byte values went out, else 0
    size_t bytes_back = 0;      // of them
    size_t wrong_bytes = 0;     // came back changed
    int first_wrong = -1;       // the first changed byte's value as sent, -1: none
    uint8_t first_wrong_back = 0;
    double byte_time_ms = 0;    // measured; 0 when not measured
    // kDeviceAnswers: the setup block the device sent (may be empty);
    // kOtherAnswer: the first bytes that came.
    std::vector<uint8_t> answer;
};

LoopFindings test_loop(SerialLine& line, Clock& clock);

}  // namespace zav::cli
