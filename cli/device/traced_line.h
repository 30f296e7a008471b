// A serial line that writes what passes over it into the frame trace
// (frame_trace.h): every write as it went out, every frame as it came in,
// the bytes the decoder drops, the waits that ended without a byte, the
// line going away, Ctrl+C, and the port's opening and closing.
//
// Ports are wrapped where they are opened (port_opening.cpp), so every
// command and every series is traced without knowing of it.
#pragma once

#include <memory>
#include <string>

#include "cli/device/frame_meaning.h"
#include "cli/device/frame_trace.h"
#include "cli/device/wire_frames.h"
#include "cli/platform/serial_line.h"

namespace zav::cli {

class TracedLine final : public SerialLine {
public:
    // Writes the "open" event at once; the time counts from here.
    TracedLine(std::unique_ptr<SerialLine> line, FrameTrace& trace, const std::string& port, Clock& clock);
    // Writes what is left of a frame begun and the "close" event.
    ~TracedLine() override;

    LineStatus write(const uint8_t* bytes, size_t n) override;
    LineStatus read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) override;
    // Reads what has arrived before dropping it, so that the trace shows
    // which bytes a transaction did not see.
    void discard_pending() override;

private:
    void event(const char* kind, const uint8_t* bytes = nullptr, size_t count = 0,
               const std::string& meaning = std::string());
    void received(const std::vector<WirePiece>& pieces);
    bool status_told(LineStatus status);

    std::unique_ptr<SerialLine> line_;
    FrameTrace& trace_;
    std::string port_;
    Clock& clock_;
    uint32_t opened_ms_;
    WireFrames incoming_;
    FrameMeaning meaning_;
};

// The trace every port opened from now on writes to; null for none (the
// start). Set once, before the first port is opened.
void set_port_trace(FrameTrace* trace);

// The line itself when no trace is set, else the line traced.
std::unique_ptr<SerialLine> traced_port(std::unique_ptr<SerialLine> line, const std::string& port, Clock& clock);

// A port that could not be opened, with why, as "open-failed"; the same
// failure of the same port again (a series looking every second) once.
void trace_open_failure(const std::string& port, const std::string& why);

}  // namespace zav::cli
