// zavctl identify: the device's version, setup block and fitting, as
// "Verbinden" and the info window give them.
#include <string>

#include "cli/app/command.h"
#include "cli/device/connection.h"
#include "cli/output/reporter.h"
#include "fleet/base/json_text.h"
#include "fleet/record/fitting_report.h"

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
    int run(const CommonOptions& common) override;
};

int IdentifyCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    Connection connection;
    Outcome outcome = connect_device(common.port, reporter, connection);
    if (!outcome.ok()) return reporter.fail(outcome);

    Identification found;
    outcome = identify_device(*connection.device, found);
    const bool answered = outcome.ok() || outcome.exit_code == kExitRefused;
    if (!answered) return reporter.fail(outcome);
    reporter.line(outcome.ok() ? outcome.message : std::string("ZAV 160 antwortet, wird aber nicht angenommen"));
    reporter.block(identification_report(found.setup, found.valid));
    nlohmann::json document = identification_json(found.setup, found.valid, found.accepted);
    document["message"] = json_text(outcome.message);
    reporter.document(document);
    return outcome.ok() ? kExitOk : reporter.fail(outcome, true);
}

}  // namespace

std::unique_ptr<Command> make_identify_command() { return std::make_unique<IdentifyCommand>(); }

}  // namespace zav::cli
