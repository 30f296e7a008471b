// The control channel's commands (zavsim --help lists them): one line in,
// the answer out, its lines each ending in '\n' and the first starting
// with "ok" or "error".
#pragma once

#include <string>

#include "sim/station.h"

namespace zav::sim {

std::string carry_out_control(Station& station, const std::string& line);

}  // namespace zav::sim
