// The end of a step as the user is told: an exit code, the program's own
// message (Windows-1252, like every text of the core) and, where it helps,
// a line that says more.
//
// The exit codes are the verdicts every front end and every record of the
// work shares: zavctl ends with them, and the audit log keeps one for each
// device. What each means in words is zavctl's (cli/app/exit_codes.h).
#pragma once

#include <string>

namespace zav {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,        // the command line is wrong
    kExitFile = 2,         // a file is missing, not a configuration file, has a wrong sum, or cannot be written
    kExitLink = 3,         // no device or the link is lost: port missing or busy, no answer, connection broken
    kExitRefused = 4,      // the device or the data refused: setup block, version, erased memory, a field, a block
    kExitDiffers = 5,      // differences found (verify, diff)
    kExitAttention = 6,    // a series left a device that only the user can place (device_outcome.h)
    kExitInterrupted = 130,  // Ctrl+C, as shells count it
};

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

}  // namespace zav
