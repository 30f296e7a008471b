// --setup HEX, the option that names a device's type (program, verify and
// read in a series) or the fitting files are read for (show, diff, export,
// import, report): the setup block as "zavctl identify" shows it.
#pragma once

#include <cstdint>
#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

// Ten hex digits whose check byte fits the setup bytes, into setup (five
// bytes); exit 1 otherwise, saying which. Nothing else is looked at before
// the call is right.
Outcome parse_setup_option(const std::string& text, uint8_t* setup);

}  // namespace zav::cli
