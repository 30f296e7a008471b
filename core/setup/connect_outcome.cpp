#include "core/setup/connect_outcome.h"

#include <cstdio>

#include "core/link/worker.h"
#include "core/setup/setup_block.h"

namespace zav {

namespace {

constexpr const char kVersionRejectedFormat[] =
    "Ungültige ZAV160-Version (V%u.%u)->V2.x bzw. V4.x erforderlich !";

}  // namespace

ConnectOutcome judge_connect(uint32_t result, const ConfigImage& image) {
    if (result == kResultFailed) return ConnectOutcome::kNotFound;
    if (result != kResultIdentified) return ConnectOutcome::kNothing;
    const uint8_t* block = &image.bytes[kSetupBlock];
    if (!setup_block_valid(block)) return ConnectOutcome::kSetupInvalid;
    if (!software_version_accepted(image.bytes[kVersionMajor])) return ConnectOutcome::kVersionRejected;
    return ConnectOutcome::kRecognised;
}

bool format_version_rejected(const ConfigImage& image, char* out, size_t out_size) {
    if (out == nullptr || out_size == 0) return false;
    const int length = std::snprintf(out, out_size, kVersionRejectedFormat,
                                     static_cast<unsigned>(image.bytes[kVersionMajor]),
                                     static_cast<unsigned>(image.bytes[kVersionMinor]));
    if (length < 0 || static_cast<size_t>(length) >= out_size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace zav
