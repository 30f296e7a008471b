// What the command line and the control channel may change in the device:
// its faults, setup block, fitting, version, stored record and line noise,
// each given as words. Every function returns false when the words are not
// understood.
#pragma once

#include <string>
#include <vector>

#include "sim/device.h"

namespace zav::sim {

// One fault: its name, then its numbers ("request 3 1").
bool add_fault(Faults& faults, const std::vector<std::string>& words);

// The whole setup block, 10 hex digits.
bool set_setup(Device& device, const std::string& text);
// Setup bytes 1 and 2 (4 hex digits); the check byte is computed.
bool set_options(Device& device, const std::string& text);
// "M.m", each part 0..255.
bool set_version(Device& device, const std::string& text);
// The 108 record bytes (216 hex digits); sum and complement are added.
bool set_record(Device& device, const std::string& text);

// The words of a "noise" command, the word "noise" first.
bool set_noise(LineNoise& noise, const std::vector<std::string>& words);

}  // namespace zav::sim
