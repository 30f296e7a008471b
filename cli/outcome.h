// The end of a step as the user is told: an exit code, the program's own
// message (Windows-1252, like every text of the core) and, where it helps,
// a line that says more.
#pragma once

#include <string>

#include "cli/exit_codes.h"

namespace zav::cli {

// What a failure was, where the flow goes on by it: the words are for
// people and may be reworded, the kind stays.
enum class OutcomeKind {
    kOther,
    // The device's copy fails its check bytes: the device holds no valid
    // configuration, or the line spoiled the copy on its way.
    kNoConfiguration,
};

struct Outcome {
    int exit_code = kExitOk;
    std::string message;
    std::string detail;
    OutcomeKind kind = OutcomeKind::kOther;

    bool ok() const { return exit_code == kExitOk; }
};

inline Outcome success(std::string message = std::string()) { return Outcome{kExitOk, std::move(message), {}, {}}; }
inline Outcome failure(int exit_code, std::string message, std::string detail = std::string()) {
    return Outcome{exit_code, std::move(message), std::move(detail), OutcomeKind::kOther};
}

}  // namespace zav::cli
