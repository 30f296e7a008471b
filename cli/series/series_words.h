// How a series names its devices and ports in its lines: "Gerät 3 (LF 20
// Fahrer)", "Geräte 2 und 5", "[ttyUSB1]".
#pragma once

#include <string>
#include <vector>

#include "fleet/plan/plan_reader.h"

namespace zav::cli {

// "Gerät 3 (LF 20 Fahrer)": a row as the series names it.
std::string row_name(const PlanRow& row);

// "Gerät 3", "Geräte 2 und 5", "Geräte 1, 2 und 5".
std::string devices_list(const std::vector<int>& numbers);
// " (Gerät 3)", " (Geräte 2 und 5)"; "" for none.
std::string devices_text(const std::vector<int>& numbers);

}  // namespace zav::cli
