// The frame trace (docs/Trace.md): what went over the serial lines of a
// run, one event a line, for a technician to send in and for the virtual
// device to answer again (zavsim --replay). The trace names each port by
// the last part of its name and holds nothing else of the user's.
//
// Several lines may share one trace (the ports of a series); each event is
// formatted first and then written whole under a lock, so that lines from
// different threads never mix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "cli/platform/lock.h"

namespace zav::cli {

// The first line of every trace: the format and its version. The version
// changes only when a field changes its meaning or goes away.
constexpr const char kTraceFormatLine[] = "zavctl-trace 1";

// The events, as the third field of a line names them.
namespace trace_event {
constexpr const char kOpen[] = "open";                 // the port was opened
constexpr const char kOpenFailed[] = "open-failed";    // it could not be
constexpr const char kClose[] = "close";
constexpr const char kSent[] = "pc>dev";               // bytes written, as written
constexpr const char kReceived[] = "dev>pc";           // a whole frame that came
constexpr const char kNoise[] = "noise";               // bytes that came and are no whole frame
constexpr const char kFlush[] = "flush";               // bytes dropped unread before a transaction
constexpr const char kTimeout[] = "timeout";           // a wait that ended without a byte
constexpr const char kWriteTimeout[] = "write-timeout";  // the bytes before did not get out in time
constexpr const char kGone[] = "gone";                 // the line went away
constexpr const char kInterrupt[] = "interrupt";       // Ctrl+C ended the wait
}  // namespace trace_event

// Where the lines go: a file, or standard error.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    // Writes one or more whole lines (UTF-8); false with the reason.
    virtual bool write(const std::string& utf8, std::string& error) = 0;
};

class FrameTrace {
public:
    // Writes the head of the trace at once.
    explicit FrameTrace(std::unique_ptr<TraceSink> sink);

    // One event of port (its short name, port_short_name.h), ms after it was
    // opened, with the bytes on the wire and what they mean (a text of the
    // program, Windows-1252; "" for nothing).
    void event(const std::string& port, uint32_t ms, const char* kind, const uint8_t* bytes, size_t count,
               const std::string& meaning);

    // The first write that failed, in the tool's words; "" while every
    // line went out. Lines after a failed one are not attempted.
    std::string error();

private:
    void write(const std::string& utf8);

    Lock lock_;
    std::unique_ptr<TraceSink> sink_;
    std::string error_;
};

// One event line, without the lock; for the writer and its tests.
std::string trace_line(const std::string& port, uint32_t ms, const char* kind, const uint8_t* bytes, size_t count,
                       const std::string& meaning);

}  // namespace zav::cli
