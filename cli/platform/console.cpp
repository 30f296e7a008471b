#include "cli/platform/console.h"

namespace zav::cli {

namespace {

constexpr const char kOutputLost[] = "Die Ausgabe konnte nicht geschrieben werden.";

bool g_loss_told = false;

}  // namespace

Outcome standard_output_lost() {
    g_loss_told = true;
    return failure(kExitFile, kOutputLost, standard_output_error());
}

int finish_output(int exit_code) {
    const std::string reason = standard_output_error();
    if (reason.empty()) return exit_code;
    if (!g_loss_told) write_text(Stream::kError, std::string("zavctl: ") + kOutputLost + "\n        " + reason + "\n");
    g_loss_told = true;
    // A failure already told keeps its own code: it says more than this.
    return exit_code == kExitOk ? kExitFile : exit_code;
}

}  // namespace zav::cli
