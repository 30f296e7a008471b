// The commands zavctl knows, in the order its help lists them. A new
// command is one file in commands/, which defines make_NAME_command(), and
// one line here.
#include "cli/app/command.h"

#define ZAV_EACH_COMMAND(command) \
    command(ports)                \
    command(identify)             \
    command(selftest)             \
    command(read)                 \
    command(program)              \
    command(restore)              \
    command(verify)               \
    command(show)                 \
    command(diff)                 \
    command(export)               \
    command(import)               \
    command(report)

namespace zav::cli {

#define ZAV_DECLARE_MAKER(name) std::unique_ptr<Command> make_##name##_command();
ZAV_EACH_COMMAND(ZAV_DECLARE_MAKER)

std::vector<std::unique_ptr<Command>> make_commands() {
    std::vector<std::unique_ptr<Command>> commands;
#define ZAV_MAKE(name) commands.push_back(make_##name##_command());
    ZAV_EACH_COMMAND(ZAV_MAKE)
    return commands;
}

}  // namespace zav::cli
