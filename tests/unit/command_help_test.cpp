// Each command's help is written by hand, apart from the options its
// grammar takes: the two must not drift. Every option a command accepts
// stands in its help, and every option its help or its line in the
// overview names is one it accepts: its own, one zavctl takes before or
// after any command, or one of another command that the help names
// ("das Protokoll einer Serie (--log)" in report's, which names verify).
// Read from the grammar itself, so that an option added later is checked
// too.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/app/command.h"
#include "cli/app/help_text.h"
#include "cli/app/top_level_options.h"

namespace zav::cli {
namespace {

std::set<std::string> accepted_options(const CLI::App& app) {
    std::set<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.insert("--" + name);
        for (const std::string& name : option->get_snames()) names.insert("-" + name);
    }
    return names;
}

// "--plan", "-q": a dash or two and a letter after a blank, an opening
// bracket or parenthesis, a comma, a bar or a slash, or at a line's start.
std::set<std::string> named_options(const std::string& help) {
    static const std::regex option("(?:^|[\\s\\[(,|/])(--?[A-Za-z][A-Za-z0-9-]*)");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it) {
        names.insert((*it)[1].str());
    }
    return names;
}

bool names_command(const std::string& help, const std::string& name) {
    return std::regex_search(help, std::regex("(^|[^A-Za-z-])" + name + "([^A-Za-z-]|$)"));
}

std::string listed(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += " " + name;
    return text;
}

TEST(CommandHelp, NamesExactlyTheOptionsTheGrammarAccepts) {
    CLI::App app("zavctl");
    app.set_help_flag();
    TopLevelOptions top_level;
    add_top_level_options(app, top_level);
    const std::set<std::string> anywhere = accepted_options(app);

    const auto commands = make_commands();
    ASSERT_FALSE(commands.empty());
    std::map<std::string, std::set<std::string>> grammar;  // by command
    for (const auto& command : commands) {
        CLI::App* subcommand = app.add_subcommand(command->name());
        subcommand->set_help_flag();
        command->add_to(*subcommand);
        grammar[command->name()] = accepted_options(*subcommand);
    }
    for (const auto& command : commands) {
        const std::set<std::string>& own = grammar[command->name()];
        const std::string help = command_help(*command);
        const std::set<std::string> in_help = named_options(help);
        auto accepted = [&](const std::string& name) {
            if (own.count(name) != 0 || anywhere.count(name) != 0) return true;
            for (const auto& [other, options] : grammar) {
                if (options.count(name) != 0 && names_command(help, other)) return true;
            }
            return false;
        };

        std::set<std::string> not_in_help;
        for (const std::string& name : own) {
            if (in_help.count(name) == 0) not_in_help.insert(name);
        }
        std::set<std::string> not_accepted;
        for (const std::string& name : in_help) {
            if (!accepted(name)) not_accepted.insert(name);
        }
        for (const std::string& name : named_options(command->overview())) {
            if (!accepted(name)) not_accepted.insert(name + " (overview)");
        }
        EXPECT_TRUE(not_in_help.empty()) << command->name() << " accepts, its help lacks:" << listed(not_in_help);
        EXPECT_TRUE(not_accepted.empty()) << command->name() << " names, does not accept:" << listed(not_accepted);
    }

    const std::set<std::string> in_overall_help = named_options(overall_help(commands));
    for (const std::string& name : anywhere) {
        EXPECT_EQ(in_overall_help.count(name), 1u) << "zavctl --help lacks " << name;
    }
}

}  // namespace
}  // namespace zav::cli
