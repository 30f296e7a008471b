#include "core/config/config_commands.h"

#include <cstdio>

#include "core/link/worker.h"

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

ConfigVerdict judge_config_end(uint32_t result, bool verify, const ConfigImage& image, const uint8_t* read_back) {
    switch (result) {
        case kResultFailed: return {ConfigEnd::kConnectionLost, -1};
        case kResultRefused: return {ConfigEnd::kUpdateRefused, -1};
        case kResultWritten: return {ConfigEnd::kProgrammed, -1};
        case kResultIdentified: return {ConfigEnd::kIdentified, -1};
        case kResultRead: break;
        default: return {ConfigEnd::kNothing, -1};
    }
    if (!device_copy_valid(read_back)) return {ConfigEnd::kNoConfiguration, -1};
    if (!verify) return {ConfigEnd::kRead, -1};
    const int differing = first_differing_byte(image, read_back);
    if (differing >= 0) return {ConfigEnd::kVerifyDiffers, differing};
    return {ConfigEnd::kVerifyOk, -1};
}

bool config_end_is_success(ConfigEnd end) {
    return end == ConfigEnd::kProgrammed || end == ConfigEnd::kRead || end == ConfigEnd::kVerifyOk;
}

void format_config_end(const ConfigVerdict& verdict, char* out, size_t out_size) {
    const char* text = "";
    switch (verdict.end) {
        case ConfigEnd::kConnectionLost: text = kConnectionLost; break;
        case ConfigEnd::kUpdateRefused: text = kUpdateRefused; break;
        case ConfigEnd::kProgrammed: text = kProgrammingDone; break;
        case ConfigEnd::kNoConfiguration: text = kNoConfiguration; break;
        case ConfigEnd::kRead: text = kConfigurationRead; break;
        case ConfigEnd::kVerifyOk: text = kVerifyOk; break;
        case ConfigEnd::kVerifyDiffers:
            format_verify_differs(verdict.first_difference, out, out_size);
            return;
        case ConfigEnd::kNothing:
        case ConfigEnd::kIdentified:
            break;
    }
    std::snprintf(out, out_size, "%s", text);
}

}  // namespace zav
