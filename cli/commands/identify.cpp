// zavctl identify
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class IdentifyCommand final : public Command {
public:
    const char* name() const override { return "identify"; }
    const char* overview() const override {
        return "  identify                 Gerät erkennen: Version, Setup-Block, Ausstattung\n"
               "    zavctl --port /dev/ttyUSB0 identify\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT identify [--json]\n"
               "\n"
               "Erkennt das Gerät wie \"Verbinden\" im Fenster: Software-Version, Setup-Block\n"
               "und die Ausstattung, wie das Info-Fenster sie zeigt, dazu den DT-Satz. Ein\n"
               "Gerät, das antwortet, aber abgelehnt wird (Setup-Daten ungültig, Version nicht\n"
               "2.x/4.x), gibt Exit-Code 4.\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 identify\n";
    }
    void add_to(CLI::App&) override {}
    int run(const CommonOptions& common) override { return command_identify(common); }
};

}  // namespace

std::unique_ptr<Command> make_identify_command() { return std::make_unique<IdentifyCommand>(); }

}  // namespace zav::cli
