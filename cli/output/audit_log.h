// The audit log that --log writes: one JSON document per line, one line per
// device (fleet/log/audit_line.h), appended and on the disk before the next
// device is begun, so that a crash or a pulled plug loses nothing already
// done.
#pragma once

#include <string>

#include "cli/platform/durable_append.h"
#include "cli/platform/lock.h"
#include "fleet/base/outcome.h"
#include "fleet/log/audit_line.h"

namespace zav::cli {

// The adapter behind a port name, as the port list names it; "" when
// unknown.
std::string adapter_name(const std::string& port);

// Whether an append of bytes (one line, ending in '\n') left the line whole
// in the log, as a reader of the log will take it: written, written and not
// confirmed, or a part left that holds all but the line's end.
bool holds_whole_line(AppendResult result, size_t part_left, size_t bytes);

// Who did the work: --operator NAME, else the login name.
std::string operator_of(const std::string& option);

class AuditLog {
public:
    // Takes path for the lines to come: it is made now if it is missing (so
    // that a log that cannot be written is told before a device is
    // touched), and an existing log is appended to. Failure: exit 2.
    Outcome open(const std::string& path);
    bool active() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // What the log held when it was opened (a series continues from it).
    const std::string& earlier_content() const { return earlier_; }

    // Appends the line and returns once it is on the disk; exit 2 when it
    // could not be written, or the system did not confirm it. The failure
    // names the device and says what the log holds now: as it was (what was
    // written of the line is cut back), a part of the line that could not
    // be cut back, or the whole line, not confirmed. whole, when given:
    // whether the log holds the line whole (true without a log), so that a
    // series started again with it counts the device as logged, as the
    // series must then too.
    // The ports of a series append one at a time, each line whole.
    Outcome append(const AuditLine& line, bool* whole = nullptr);

private:
    std::string path_;
    std::string earlier_;
    bool needs_line_end_ = false;  // a line cut off by a crash is not continued
    Lock lock_;
};

}  // namespace zav::cli
