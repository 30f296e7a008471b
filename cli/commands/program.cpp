// zavctl program FILE [--series]
#include "cli/command.h"

namespace zav::cli {

namespace {

class ProgramCommand final : public Command {
public:
    const char* name() const override { return "program"; }
    const char* overview() const override {
        return "  program DATEI            Datei laden, prüfen wie das Konfigurationsfenster, programmieren\n"
               "                           und verifizieren (Exit-Code 0 nur, wenn die Rücklesung stimmt)\n"
               "                             zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  program DATEI --series   eine Serie: ein Gerät nach dem anderen am selben Port\n"
               "                           programmieren und verifizieren; Strg+C beendet die Serie\n"
               "                             zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT program DATEI [--series]\n"
               "\n"
               "Lädt die Datei, prüft sie wie das Konfigurationsfenster für die Ausstattung des\n"
               "angeschlossenen Geräts, programmiert sie und liest sie zur Verifikation zurück.\n"
               "Exit-Code 0 nur, wenn die Rücklesung stimmt.\n"
               "\n"
               "Optionen:\n"
               "  --series     eine Serie: ein Gerät nach dem anderen am selben Port\n"
               "\n"
               "Die Serie:\n"
               "  Geräte nacheinander anschließen. Jedes Gerät wird programmiert und\n"
               "  verifiziert; danach wird gewartet, bis es abgeklemmt ist, so dass kein Gerät\n"
               "  zweimal programmiert wird. Alle Geräte einer Serie müssen vom Typ des ersten\n"
               "  sein. Das erste Strg+C beendet die Serie nach dem Gerät, das gerade\n"
               "  programmiert wird; ein zweites bricht sofort ab.\n"
               "\n"
               "Beispiele:\n"
               "  zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", file_)->required();
        subcommand.add_flag("--series", series_);
    }
    int run(const CommonOptions& common) override {
        return series_ ? command_program_series(common, file_) : command_program(common, file_);
    }

private:
    std::string file_;
    bool series_ = false;
};

}  // namespace

std::unique_ptr<Command> make_program_command() { return std::make_unique<ProgramCommand>(); }

}  // namespace zav::cli
