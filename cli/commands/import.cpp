// zavctl import TEXT -o FILE [--setup HEX | --port PORT] [--force]
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class ImportCommand final : public Command {
public:
    const char* name() const override { return "import"; }
    const char* overview() const override {
        return "  import TEXT -o DATEI     aus einem Text die Konfigurationsdatei, nach den\n"
               "                           Feldprüfungen des Fensters\n"
               "    zavctl import wache-3.toml --setup BF073C020A -o wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl import TEXT -o DATEI [--setup HEX | --port PORT] [--force]\n"
               "\n"
               "Macht aus einem Konfigurationstext (wie export ihn schreibt) die\n"
               "Konfigurationsdatei des Programms. Jedes Feld wird geprüft, wie das\n"
               "Konfigurationsfenster es prüft, für die Ausstattung, die der Text nennt, aus\n"
               "--setup oder vom Gerät an --port. Nennt der Text keine und gibt es keine\n"
               "Option, wird geprüft, was für jede Ausstattung gilt. Ein Fehler nennt Zeile,\n"
               "Spalte, Feld und Grund; nennt der Text eine andere Ausstattung als --setup\n"
               "oder das Gerät, nennt der Fehler beide. Dann wird nichts geschrieben.\n"
               "\n"
               "program, verify, show und diff nehmen einen Text auch direkt.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Konfigurationsdatei, die entsteht\n"
               "  --setup HEX         die Ausstattung als Setup-Block (10 Hex-Ziffern)\n"
               "  --force             eine vorhandene Datei ersetzen\n"
               "\n"
               "Beispiel:\n"
               "  zavctl import wache-3.toml --setup BF073C020A -o wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("TEXT", options_.input)->required();
        subcommand.add_option("-o,--output", options_.output)->required();
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override { return command_import(common, options_); }

private:
    TextOptions options_;
};

}  // namespace

std::unique_ptr<Command> make_import_command() { return std::make_unique<ImportCommand>(); }

}  // namespace zav::cli
