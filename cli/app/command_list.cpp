// The commands zavctl knows, in the order its help lists them. A new
// command is one file in commands/ and one line here.
#include "cli/app/command.h"

namespace zav::cli {

std::unique_ptr<Command> make_ports_command();
std::unique_ptr<Command> make_identify_command();
std::unique_ptr<Command> make_selftest_command();
std::unique_ptr<Command> make_read_command();
std::unique_ptr<Command> make_program_command();
std::unique_ptr<Command> make_restore_command();
std::unique_ptr<Command> make_verify_command();
std::unique_ptr<Command> make_show_command();
std::unique_ptr<Command> make_diff_command();
std::unique_ptr<Command> make_export_command();
std::unique_ptr<Command> make_import_command();
std::unique_ptr<Command> make_report_command();

std::vector<std::unique_ptr<Command>> make_commands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(make_ports_command());
    commands.push_back(make_identify_command());
    commands.push_back(make_selftest_command());
    commands.push_back(make_read_command());
    commands.push_back(make_program_command());
    commands.push_back(make_restore_command());
    commands.push_back(make_verify_command());
    commands.push_back(make_show_command());
    commands.push_back(make_diff_command());
    commands.push_back(make_export_command());
    commands.push_back(make_import_command());
    commands.push_back(make_report_command());
    return commands;
}

}  // namespace zav::cli
