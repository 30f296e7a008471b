// --trace FILE: the frame trace of one run of zavctl (docs/Trace.md). The
// file is made before any device is touched, never over an existing file,
// and written line by line as the run goes, so that a run cut short still
// leaves its trace; "-" writes it to standard error.
#pragma once

#include <memory>
#include <string>

#include "cli/device/frame_trace.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

class TraceOption {
public:
    TraceOption();
    ~TraceOption();

    // Makes the trace and has every port opened from now on write to it.
    // Exit 2 when it cannot be made (a file there already, no folder, a
    // folder in its place).
    Outcome start(const std::string& name);

    // Once the command has ended and closed its ports: closes the trace. A
    // trace that could not be written whole is said on standard error, and
    // a run that would have succeeded ends with exit 2 (a write error is an
    // error).
    int finish(int exit_code, const Reporter& reporter);

private:
    class FileSink;
    std::string name_;
    FileSink* file_ = nullptr;  // owned by trace_; null for "-"
    std::unique_ptr<FrameTrace> trace_;
};

}  // namespace zav::cli
