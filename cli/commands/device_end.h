// How program, restore and verify end once the device is known: the text
// (differences field by field), and one JSON document with everything, the
// verdict beside what was done.
#pragma once

#include <nlohmann/json.hpp>

#include "cli/device/device_session.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// Tells outcome and returns its exit code; document holds what was done
// (the identification, the stamp, ...). Exit 5 names the first address,
// as the window says it, then every field that differs, file against
// device (the image against what was read back).
int tell_end(const Reporter& reporter, const Outcome& outcome, DeviceLink& device, nlohmann::json document);

}  // namespace zav::cli
