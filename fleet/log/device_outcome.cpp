#include "fleet/log/device_outcome.h"

namespace zav {

namespace {

constexpr DeviceOutcome kOutcomes[] = {DeviceOutcome::kProgrammed, DeviceOutcome::kUnchanged, DeviceOutcome::kVerified,
                                       DeviceOutcome::kDiffers,    DeviceOutcome::kRead,      DeviceOutcome::kFailed,
                                       DeviceOutcome::kNeedsAttention};

}  // namespace

const char* outcome_name(DeviceOutcome outcome) {
    switch (outcome) {
        case DeviceOutcome::kProgrammed: return "programmed";
        case DeviceOutcome::kUnchanged: return "unchanged";
        case DeviceOutcome::kVerified: return "verified";
        case DeviceOutcome::kDiffers: return "differs";
        case DeviceOutcome::kRead: return "read";
        case DeviceOutcome::kFailed: return "failed";
        case DeviceOutcome::kNeedsAttention: return "needs_attention";
    }
    return "failed";
}

std::optional<DeviceOutcome> outcome_named(std::string_view name) {
    for (const DeviceOutcome outcome : kOutcomes) {
        if (name == outcome_name(outcome)) return outcome;
    }
    return std::nullopt;
}

}  // namespace zav
