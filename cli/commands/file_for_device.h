// A configuration file as program and verify give it to the device just
// identified: the file's record in the device's image as "Laden" then
// "Programmieren" leave it for the device's fitting.
#pragma once

#include "cli/device/device_session.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"
#include "fleet/text/configuration_source.h"

namespace zav::cli {

// The same field checks refuse what the window refuses (exit 4), and the
// device gets what the window would send, said field by field where that
// is not what the file holds. The file was read before the device was
// touched, and only then: a pipe gives its bytes once.
Outcome take_file_for_device(const ConfigurationSource& file, DeviceLink& device, const Reporter& reporter);

}  // namespace zav::cli
