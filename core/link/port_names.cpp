#include "core/link/port_names.h"

#include <cstring>

namespace zav {

namespace {

const char* const kPortNames[kPortCount] = {
    "COM1", "COM2", "COM3", "COM4",  "COM5",  "COM6",
    "COM7", "COM8", "COM9", "COM10", "COM11", "COM12",
};

const char kDeviceNamespace[] = "\\\\.\\";

}  // namespace

const char* port_name(int index) {
    if (index < 0 || index >= kPortCount) return kPortNames[0];
    return kPortNames[index];
}

bool port_device_path(const char* name, char* out, size_t out_size) {
    if (out == nullptr || out_size == 0) return false;
    out[0] = '\0';
    if (name == nullptr) return false;
    const size_t prefix = sizeof kDeviceNamespace - 1;
    const size_t length = std::strlen(name);
    if (prefix + length + 1 > out_size) return false;
    std::memcpy(out, kDeviceNamespace, prefix);
    std::memcpy(out + prefix, name, length + 1);
    return true;
}

}  // namespace zav
