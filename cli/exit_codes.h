// zavctl's exit codes, as its --help documents them.
#pragma once

namespace zav::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,        // the command line is wrong
    kExitFile = 2,         // a file is missing, not a configuration file, has a wrong sum, or cannot be written
    kExitLink = 3,         // no device or the link is lost: port missing or busy, no answer, connection broken
    kExitRefused = 4,      // the device or the data refused: setup block, version, erased memory, a field, a block
    kExitDiffers = 5,      // differences found (verify, diff)
    kExitInterrupted = 130,  // Ctrl+C, as shells count it
};

}  // namespace zav::cli
