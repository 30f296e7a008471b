#include "cli/series/planned_work.h"

#include <cstring>

#include "cli/platform/console.h"

namespace zav::cli {

Outcome PlannedWork::take_type(const uint8_t* setup) {
    std::memcpy(type_, setup, kSetupBlockBytes);
    return records_.take_type(setup);
}

DeviceDone refused_device(const Outcome& outcome, const std::string& file) {
    DeviceDone done;
    done.outcome = outcome;
    done.tally = DeviceOutcome::kFailed;
    done.audit.file = file;
    done.event = {{"file", json_name(file)}};
    return done;
}

}  // namespace zav::cli
