// What became of a device: the words the audit log, the JSON documents and
// a series' summary count it by, and what the handover sheet reads back.
#pragma once

#include <optional>
#include <string_view>

namespace zav {

enum class DeviceOutcome {
    kProgrammed,  // programmed and verified
    kUnchanged,   // held the record already, not written
    kVerified,    // compared: the same
    kDiffers,     // compared: different
    kRead,        // read and kept
    kFailed,
    // Left untouched for the user to decide: it holds the record of a row
    // done by another device, and an earlier device may have been left
    // holding that record unverified, so that which of them is the row's
    // cannot be told.
    kNeedsAttention,
};

// Its name in the log and in JSON: "programmed", "unchanged", "verified",
// "differs", "read", "failed", "needs_attention".
const char* outcome_name(DeviceOutcome outcome);

// The outcome a name stands for; none for a word that names none.
std::optional<DeviceOutcome> outcome_named(std::string_view name);

}  // namespace zav
