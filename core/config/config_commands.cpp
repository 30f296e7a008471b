#include "core/config/config_commands.h"

#include <cstdio>

namespace zav {

namespace {

constexpr const char kVerifyDiffers[] = "Fehler ab Adresse: %d";

}  // namespace

int first_differing_byte(const ConfigImage& image, const uint8_t* device_copy) {
    for (size_t i = 0; i < kRecordBytes; ++i) {
        if (image.bytes[i] != device_copy[i]) return static_cast<int>(i);
    }
    return -1;
}

void format_verify_differs(int position, char* out, size_t out_size) {
    std::snprintf(out, out_size, kVerifyDiffers, position);
}

}  // namespace zav
