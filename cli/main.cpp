// zavctl: the ZAV 160 from the command line. Each command carries its own
// grammar and help (cli/app/command.h); this file parses the command line with
// CLI11, says what went wrong in German, and hands over to the command.
#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/app/command.h"
#include "cli/app/exit_codes.h"
#include "cli/app/help_text.h"
#include "cli/app/top_level_options.h"
#include "cli/app/trace_option.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"

namespace {

using namespace zav;
using namespace zav::cli;

// The part of CLI11's message that names an argument: what precedes
// "suffix", or what a pattern captures. The names are the user's own words
// or ours; CLI11's English around them is never shown.
std::string captured(const std::string& what, const char* pattern) {
    std::smatch match;
    return std::regex_search(what, match, std::regex(pattern)) ? match[1].str() : std::string();
}

// The words CLI11 did not expect, in the order the user wrote them (CLI11
// lists them backwards).
std::string unexpected_words(const std::string& listed, int argc, char** argv) {
    std::vector<std::string> words;
    std::istringstream stream(listed);
    for (std::string word; stream >> word;) words.push_back(word);
    std::string in_order;
    for (int i = 1; i < argc; ++i) {
        const auto found = std::find(words.begin(), words.end(), argv[i]);
        if (found == words.end()) continue;
        in_order += (in_order.empty() ? "" : " ") + *found;
        words.erase(found);
    }
    // Whatever could not be placed (a word with a blank in it) comes last.
    for (const std::string& word : words) in_order += (in_order.empty() ? "" : " ") + word;
    return in_order;
}

// CLI11 says what is wrong in English; the user reads it in German. Each
// kind of error has its own sentence, and one whose kind is unknown says
// only that the call is wrong, never CLI11's text.
std::string german_parse_error(const CLI::ParseError& error, int argc, char** argv) {
    const std::string what = error.what();
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        const std::string name = captured(what, "^(\\S+) is required");
        if (!name.empty()) return name.rfind("-", 0) == 0 ? "Die Option " + name + " fehlt." : name + " fehlt.";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::string extras = unexpected_words(captured(what, "not expected: (.*)$"), argc, argv);
        return "Unbekannte Angabe: " + (extras.empty() ? std::string("?") : shown_name(extras)) + ".";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        const std::string repeated = captured(what, "^(\\S+): At Most ");
        if (!repeated.empty()) return "Die Option " + repeated + " ist mehrfach angegeben.";
        std::string name = captured(what, "^(\\S+): ");
        if (name.empty()) name = captured(what, "arguments to (\\S+)");
        if (!name.empty()) return "Der Wert zu " + name + " fehlt.";
    }
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr ||
        dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
        std::string name = captured(what, "^(\\S+): ");
        if (name.empty()) name = captured(what, "convert: (\\S+) =");
        if (!name.empty()) return "Der Wert zu " + name + " passt nicht.";
    }
    return "Der Aufruf ist fehlerhaft.";
}

int usage_error(const std::string& text) {
    write_text(Stream::kError, "zavctl: " + text + "\n        \"zavctl --help\" zeigt die Aufrufe.\n");
    return kExitUsage;
}

const Command* command_named(const std::vector<std::unique_ptr<Command>>& commands, const std::string& name) {
    for (const std::unique_ptr<Command>& command : commands) {
        if (name == command->name()) return command.get();
    }
    return nullptr;
}

int run_zavctl(int argc, char** argv) {
    CLI::App app("zavctl", "zavctl");
    app.set_help_flag();
    app.fallthrough();

    TopLevelOptions top_level;
    add_top_level_options(app, top_level);
    CommonOptions& common = top_level.common;
    bool& help = top_level.help;
    bool& version = top_level.version;
    const std::string& trace_name = top_level.trace_name;

    const std::vector<std::unique_ptr<Command>> commands = make_commands();
    std::vector<CLI::App*> subcommands;
    bool command_help_wanted = false;
    for (const std::unique_ptr<Command>& command : commands) {
        CLI::App* subcommand = app.add_subcommand(command->name());
        subcommand->set_help_flag();
        subcommand->add_flag("-h,--help", command_help_wanted);
        command->add_to(*subcommand);
        subcommands.push_back(subcommand);
    }
    std::string help_topic;
    CLI::App* help_command = app.add_subcommand("help");
    help_command->add_option("BEFEHL", help_topic);
    app.require_subcommand(0, 1);

    // The command word, wherever it stands, for a help asked for anyway.
    const Command* named = nullptr;
    for (int i = 1; i < argc && named == nullptr; ++i) named = command_named(commands, argv[i]);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help or --version anywhere wins over a missing file name.
        for (int i = 1; i < argc; ++i) {
            const std::string argument = argv[i];
            if (argument == "-h" || argument == "--help") help = true;
            if (argument == "--version") version = true;
        }
        if (!help && !version) return usage_error(german_parse_error(error, argc, argv));
    }
    if (help || command_help_wanted) {
        write_text(Stream::kOut, named != nullptr ? command_help(*named) : overall_help(commands));
        return kExitOk;
    }
    if (version) {
        write_text(Stream::kOut, "zavctl " ZAV_VERSION_TEXT "\n");
        return kExitOk;
    }
    if (help_command->parsed()) {
        if (help_topic.empty() || help_topic == "help") {
            write_text(Stream::kOut, overall_help(commands));
            return kExitOk;
        }
        const Command* topic = command_named(commands, help_topic);
        if (topic == nullptr) return usage_error("Den Befehl " + shown_name(help_topic) + " gibt es nicht.");
        write_text(Stream::kOut, command_help(*topic));
        return kExitOk;
    }

    Command* chosen = nullptr;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (subcommands[i]->parsed()) chosen = commands[i].get();
    }
    if (chosen == nullptr) return usage_error("Kein Befehl angegeben.");
    if (common.ports.size() > 1 && !chosen->takes_several_ports()) {
        return usage_error("Die Option --port ist mehrfach angegeben.");
    }
    if (!common.ports.empty()) common.port = common.ports.front();

    // The trace is made before the command touches a device.
    const Reporter reporter(common.json, common.quiet);
    TraceOption trace;
    if (!trace_name.empty()) {
        const Outcome started = trace.start(trace_name);
        if (!started.ok()) return reporter.fail(started);
    }
    install_interrupt_handler();
    return trace.finish(chosen->run(common), reporter);
}

}  // namespace

int main(int argc, char** argv) {
    prepare_console();
    // Whatever the command, a report that did not reach standard output is
    // no success.
    return finish_output(run_zavctl(argc, argv));
}
