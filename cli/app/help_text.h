// zavctl's help: "zavctl --help" gives the overview of every command, the
// options they share and the exit codes; "zavctl NAME --help" (or "zavctl
// help NAME") gives one command's own help and the shared options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/app/command.h"

namespace zav::cli {

std::string overall_help(const std::vector<std::unique_ptr<Command>>& commands);
std::string command_help(const Command& command);

}  // namespace zav::cli
