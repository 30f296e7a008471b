// show and diff: configuration files read as the configuration window shows
// them, for a fitting given by --setup, read from the device at --port,
// named by a text among the files, or assumed (and then said so). $ZAV_PORT
// alone does not make them ask a device: they work on files, and a device
// that is not there would cost seconds of waiting.
#pragma once

#include <string>
#include <vector>

#include "cli/app/common_options.h"
#include "cli/commands/fitting_choice.h"
#include "cli/output/reporter.h"
#include "core/config/config_image.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// A wrong --setup is told first: nothing is read before the call is right;
// then the files (a file that cannot be read is told before a device is
// asked); then the fitting, for which a text's fields are checked. images:
// one per file, its record for the fitting.
Outcome read_for_one_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                             const std::vector<std::string>& files, Fitting& fitting,
                             std::vector<ConfigImage>& images);

}  // namespace zav::cli
