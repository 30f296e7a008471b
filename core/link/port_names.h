// The serial ports the program offers, and how a port's name becomes the
// path the platform opens.
#pragma once

#include <cstddef>

namespace zav {

constexpr int kPortCount = 12;

// "COM1" .. "COM12": the names as the user reads them in messages. An index
// outside the table gives the first port, so a damaged index can never make
// the program read past the table.
const char* port_name(int index);

// Room for the longest device path, "\\.\COM12" and its NUL.
constexpr size_t kDevicePathBytes = 16;

// Writes the device-namespace path of a port name ("\\.\COM7"). Windows opens
// COM10 and above only in this form, so every port goes through it alike.
// Returns false, with an empty text in out, when the path does not fit.
bool port_device_path(const char* name, char* out, size_t out_size);

}  // namespace zav
