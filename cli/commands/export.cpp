// zavctl export FILE [-o TEXT] [--setup HEX | --port PORT] [--force]
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class ExportCommand final : public Command {
public:
    const char* name() const override { return "export"; }
    const char* overview() const override {
        return "  export DATEI             die Konfiguration als Text (TOML), für Editor und\n"
               "                           Versionsverwaltung\n"
               "    zavctl export wache-3.zcf --setup BF073C020A -o wache-3.toml\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl export DATEI [-o TEXT] [--setup HEX | --port PORT] [--force]\n"
               "\n"
               "Schreibt die Konfiguration als Text: jedes Feld, das das Konfigurationsfenster\n"
               "zeigt, unter seinem Namen und mit dem Wert, wie das Fenster ihn schreibt, dazu\n"
               "in [rohdaten] die Bytes, die kein Feld zeigt. \"zavctl import\" macht aus dem\n"
               "Text wieder genau dieselbe Datei. DATEI darf auch ein Text sein.\n"
               "\n"
               "Mit --setup oder --port hält der Text die Felder dieser Ausstattung und nennt\n"
               "sie (ausstattung = \"03 01\"): import, show, diff und program nehmen sie dann\n"
               "aus dem Text. Ohne beides nennt er keine und hält jeden Alarm und jedes\n"
               "Relais, das das Fenster so annimmt; welche davon ein Gerät hat, entscheidet\n"
               "beim Programmieren seine Ausstattung. Den Setup-Block nennen identify und read.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output TEXT   die Datei für den Text; ohne -o die Standardausgabe\n"
               "  --setup HEX         die Ausstattung als Setup-Block (10 Hex-Ziffern)\n"
               "  --force             eine vorhandene Datei ersetzen\n"
               "\n"
               "Beispiele:\n"
               "  zavctl export wache-3.zcf --setup BF073C020A -o wache-3.toml\n"
               "  zavctl export wache-3.zcf --setup BF073C020A | less\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", options_.input)->required();
        subcommand.add_option("-o,--output", options_.output);
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override { return command_export(common, options_); }

private:
    TextOptions options_;
};

}  // namespace

std::unique_ptr<Command> make_export_command() { return std::make_unique<ExportCommand>(); }

}  // namespace zav::cli
