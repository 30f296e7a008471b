#include "core/config/config_image.h"

#include <cstring>

namespace zav {

void set_image_start_values(ConfigImage& image) {
    // An all-0xFF record stands for "nothing loaded or read yet".
    std::memset(image.bytes, 0xFF, kRecordBytes);
    std::memset(image.bytes + kRecordBytes, 0, kImageBytes - kRecordBytes);
}

bool device_copy_valid(const uint8_t* copy) {
    unsigned sum = 0;
    for (size_t i = 0; i < kRecordBytes; ++i) sum += copy[i];
    sum &= 0xFF;
    // The complement must make exactly 255, not 255 modulo 256.
    return copy[kDeviceSum] == sum &&
           static_cast<unsigned>(copy[kDeviceSum]) + copy[kDeviceComplement] == 255;
}

}  // namespace zav
