#include "cli/commands/single_device.h"

#include "cli/commands/device_end.h"
#include "cli/device/port_opening.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

SingleDevice::SingleDevice(const CommonOptions& common, const Reporter& reporter, const LogOptions& log,
                           const char* command, const std::string& file)
    : common_(common), reporter_(reporter), file_(file), log_(log, command, common.port, file) {}

bool SingleDevice::open() {
    Outcome outcome = log_.open();
    if (!outcome.ok()) {
        exit_code_ = reporter_.fail(outcome);
        return false;
    }
    stamp_ = stamp_now(file_, chosen_port(common_.port));
    outcome = reach_device(common_, reporter_, log_, connection_, found_);
    // A port that did not open asked nothing of a device: nothing to log.
    if (connection_.device == nullptr) {
        exit_code_ = reporter_.fail(outcome);
        return false;
    }
    if (!outcome.ok()) {
        exit_code_ = log_.finish(reporter_, outcome, [&] { return reporter_.fail(outcome); });
        return false;
    }
    document_ = identification_json(found_.setup, found_.valid, found_.accepted);
    return true;
}

void SingleDevice::stamp_record() { document_.update(stamp_json(stamp_, device().state.image.bytes)); }

int SingleDevice::end(const Outcome& outcome) {
    return log_.finish(reporter_, outcome, [&] { return tell_end(reporter_, outcome, device(), document_); });
}

}  // namespace zav::cli
