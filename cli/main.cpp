// zavctl: the ZAV 160 from the command line. Parses the command line with
// CLI11 and hands over to one command (cli/commands.h).
#include <regex>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/help_text.h"
#include "cli/interrupt.h"

namespace {

using namespace zav::cli;

// CLI11 speaks English; the common cases in German, the rest as it says.
std::string german_parse_error(const std::string& what) {
    std::smatch match;
    if (std::regex_match(what, match, std::regex("(.*) is required")))
        return "Angabe fehlt: " + match[1].str();
    if (std::regex_match(what, match, std::regex("The following arguments? (?:was|were) not expected: (.*)")))
        return "Unbekannte Angabe: " + match[1].str();
    if (std::regex_search(what, std::regex("requires? (?:at least )?(?:1|one) subcommand", std::regex::icase)))
        return "Kein Befehl angegeben";
    return "Aufruf fehlerhaft: " + what;
}

int usage_error(const std::string& text) {
    write_text(Stream::kError, "zavctl: " + text + "\n        \"zavctl --help\" zeigt die Aufrufe.\n");
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("zavctl", "zavctl");
    app.set_help_flag();
    app.fallthrough();

    CommonOptions common;
    bool help = false, version = false, series = false;
    std::string file, second_file, setup_text;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_option("--port", common.port);
    app.add_flag("--json", common.json);
    app.add_flag("-q,--quiet", common.quiet);

    CLI::App* ports = app.add_subcommand("ports");
    CLI::App* identify = app.add_subcommand("identify");
    CLI::App* read = app.add_subcommand("read");
    read->add_option("-o,--output", file)->required();
    CLI::App* program = app.add_subcommand("program");
    program->add_option("DATEI", file)->required();
    program->add_flag("--series", series);
    CLI::App* verify = app.add_subcommand("verify");
    verify->add_option("DATEI", file)->required();
    CLI::App* show = app.add_subcommand("show");
    show->add_option("DATEI", file)->required();
    show->add_option("--setup", setup_text);
    CLI::App* diff = app.add_subcommand("diff");
    diff->add_option("DATEI1", file)->required();
    diff->add_option("DATEI2", second_file)->required();
    diff->add_option("--setup", setup_text);
    app.require_subcommand(0, 1);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help or --version anywhere wins over a missing file name.
        for (int i = 1; i < argc; ++i) {
            const std::string argument = argv[i];
            if (argument == "-h" || argument == "--help") help = true;
            if (argument == "--version") version = true;
        }
        if (!help && !version) return usage_error(german_parse_error(error.what()));
    }
    if (help) {
        write_text(Stream::kOut, kHelpText);
        return kExitOk;
    }
    if (version) {
        write_text(Stream::kOut, "zavctl " ZAV_VERSION_TEXT "\n");
        return kExitOk;
    }

    install_interrupt_handler();
    if (ports->parsed()) return command_ports(common);
    if (identify->parsed()) return command_identify(common);
    if (read->parsed()) return command_read(common, file);
    if (program->parsed()) return series ? command_program_series(common, file) : command_program(common, file);
    if (verify->parsed()) return command_verify(common, file);
    if (show->parsed()) return command_show(common, file, setup_text);
    if (diff->parsed()) return command_diff(common, file, second_file, setup_text);
    return usage_error("Kein Befehl angegeben");
}
