// Waiting between looks for a device, cut short by Ctrl+C.
#pragma once

#include <cstdint>

namespace zav::cli {

// Waits ms milliseconds, or less when Ctrl+C is pressed meanwhile (or the
// waits are ended, interrupt.h). Returns false when Ctrl+C has been pressed
// (now or before) or the waits were ended.
bool pause_unless_interrupted(uint32_t ms);

}  // namespace zav::cli
