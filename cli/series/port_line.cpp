#include "cli/series/port_line.h"

#include "cli/device/port_opening.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/pause.h"
#include "cli/platform/serial_port.h"

namespace zav::cli {

namespace {

// A look for a new device sends the identification once (1.5 s): a lost
// frame only delays finding it. A look for the device just worked on sends
// it twice (3 s), the machine's own resend included, and the device counts
// as gone only after two such looks in a row found nobody, or when the line
// is lost: one lost frame must never make the same device look new.
constexpr uint32_t kFindingSends = 1;
constexpr uint32_t kGoneSends = 2;
constexpr int kSilentLooksWhenGone = 2;
// How often a device still connected, or a port that cannot be opened, is
// looked at again.
constexpr uint32_t kLookAgainMs = 1000;

}  // namespace

PortLine::PortLine(const std::string& port, const Reporter& reporter)
    : port_(port), reporter_(reporter), progress_(reporter.progress_shown()) {}

PortLine::Wait PortLine::wait_for_device(const std::function<bool()>& stop, const std::function<bool()>& may_look) {
    for (;;) {
        if (interrupt_count() > 0 || stop()) return Wait::kStopped;
        if (!may_look()) {
            if (!pause_unless_interrupted(kLookAgainMs)) return Wait::kStopped;
            continue;
        }
        if (!open()) {
            if (!failure_.ok()) return Wait::kPortFailed;
            if (!pause_unless_interrupted(kLookAgainMs)) return Wait::kStopped;
            continue;
        }
        found_ = identify_device(*device_, identification_, kFindingSends);
        if (found_.exit_code == kExitInterrupted) return Wait::kStopped;
        if (device_->line_lost) {
            close();
            if (!pause_unless_interrupted(kLookAgainMs)) return Wait::kStopped;
            continue;
        }
        if (identification_.answered) return Wait::kDevice;
    }
}

bool PortLine::wait_until_gone(const std::function<bool()>& stop, bool silent_already) {
    int silent_looks = silent_already ? 1 : 0;
    for (;;) {
        if (interrupt_count() > 0 || stop()) return false;
        if (!device_) return true;  // the line was lost with the device
        Identification still;
        const Outcome look = identify_device(*device_, still, kGoneSends);
        if (look.exit_code == kExitInterrupted) return false;
        if (device_->line_lost) {
            close();
            return true;
        }
        if (!still.answered) {
            if (++silent_looks >= kSilentLooksWhenGone) return true;
            continue;
        }
        silent_looks = 0;
        if (!pause_unless_interrupted(kLookAgainMs)) return false;
    }
}

// A port that cannot be opened is told once (it may just not be plugged
// in yet); one that never will be is the owner's to tell (failure()).
bool PortLine::open() {
    if (device_) return true;
    std::unique_ptr<SerialLine> line;
    PortFailure kind;
    const Outcome opened = open_port(port_, line, kind);
    if (!opened.ok()) {
        if (port_failure_is_lasting(kind)) {
            failure_ = opened;
        } else if (opened.message + opened.detail != last_port_failure_ && interrupt_count() == 0) {
            reporter_.note(opened.message + " " + opened.detail);
        }
        last_port_failure_ = opened.message + opened.detail;
        return false;
    }
    last_port_failure_.clear();
    line_ = std::move(line);
    device_ = std::make_unique<DeviceLink>(*line_, system_clock(), progress_);
    return true;
}

void PortLine::close() {
    device_.reset();
    line_.reset();
}

}  // namespace zav::cli
