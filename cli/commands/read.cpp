// zavctl read -o FILE [--force] [--log FILE] [--operator NAME]
// zavctl read --series -o DIR [--plan PLAN.csv] [--log FILE] [--operator NAME]
#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT read -o DATEI [--force] [--log DATEI]\n"
    "                                [--operator NAME]\n"
    "        zavctl --port PORT read --series -o ORDNER [--plan PLAN.csv]\n"
    "                                [--log DATEI] [--operator NAME]\n"
    "\n"
    "Erkennt das Gerät wie \"Verbinden\", liest seine Konfiguration und sichert sie\n"
    "unverändert als Konfigurationsdatei, so wie das Gerät sie hält. Ein Gerät, das\n"
    "das Programm nicht annimmt, wird nicht gelesen. Die Ausgabe nennt die\n"
    "Software-Version und den Setup-Block des Geräts.\n"
    "\n"
    "Die Datei wird ganz oder gar nicht geschrieben. Eine vorhandene Datei bleibt,\n"
    "wie sie ist, außer mit --force; dann behält die neue ihre Zugriffsrechte. Ist\n"
    "DATEI ein symbolischer Verweis, bekommt sein Ziel den neuen Inhalt. Geräte,\n"
    "Ordner und FIFOs werden nie ersetzt. Ob die Datei geschrieben werden kann,\n"
    "prüft zavctl, bevor es das Gerät anspricht.\n"
    "\n"
    "Die Sicherung einer ganzen Flotte (--series):\n"
    "  Ein Gerät nach dem anderen wird gelesen und im Ordner ORDNER (wird angelegt)\n"
    "  gesichert, benannt nach Nummer (mit --plan: Bezeichnung) und Datum, etwa\n"
    "  Geraet-3_2026-12-08.zcf oder LF-20-Fahrer_2026-12-08.zcf; ist der Name\n"
    "  vergeben, kommt -2, -3, ... dazu. Anschließen, Abklemmen und Strg+C wie bei\n"
    "  \"program --series\"; mit einem Plan endet die Serie von selbst. Ein Gerät,\n"
    "  das sich nicht lesen lässt, lässt seine Zeile offen für das nächste.\n"
    "\n"
    "Optionen:\n"
    "  -o, --output DATEI  die Datei, in die gesichert wird; - schreibt sie auf die\n"
    "                    Standardausgabe (in eine Umleitung oder Pipe); mit --series\n"
    "                    der Ordner\n"
    "  --force           eine vorhandene Datei ersetzen\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port\n"
    "  --plan PLAN.csv   (mit --series) die Bezeichnungen der Geräte, in ihrer\n"
    "                    Reihenfolge (die erste Spalte des Plans)\n"
    "  --retries N       so oft wird eine Lesung, die an der Leitung scheitert,\n"
    "                    wiederholt (Vorgabe 2; 0: nie)\n"
    "%LOG%"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf --force\n"
    "  zavctl --port /dev/ttyUSB0 read -o - | ssh archiv 'cat > wache-3.zcf'\n"
    "  zavctl --port /dev/ttyUSB0 read --series -o flotte-2026 --plan fahrzeuge.csv\n";

class ReadCommand final : public Command {
public:
    ReadCommand() : help_(kHelp) { help_.replace(help_.find("%LOG%"), 5, kLogOptionsHelp); }
    const char* name() const override { return "read"; }
    const char* overview() const override {
        return "  read -o DATEI            Konfiguration lesen und unverändert sichern\n"
               "    zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n"
               "  read --series -o ORDNER  jedes Gerät einer Serie in den Ordner sichern\n"
               "    zavctl --port /dev/ttyUSB0 read --series -o flotte-2026\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("-o,--output", options_.output)->required();
        subcommand.add_flag("--force", options_.force);
        subcommand.add_flag("--series", options_.series);
        subcommand.add_option("--plan", options_.plan);
        subcommand.add_option("--retries", options_.retries)->check(CLI::Range(0, 10));
        add_log_options(subcommand, options_.log);
    }
    int run(const CommonOptions& common) override {
        const Reporter reporter(common.json, common.quiet);
        if (!options_.series) {
            if (!options_.plan.empty()) return reporter.fail(only_with_series("--plan"));
            return command_read(common, options_);
        }
        if (is_standard_output(options_.output)) {
            return reporter.fail(failure(kExitUsage, "Mit --series nennt -o den Ordner der Sicherungen, nicht -."));
        }
        return command_read_series(common, options_);
    }

private:
    std::string help_;
    ReadOptions options_;
};

}  // namespace

std::unique_ptr<Command> make_read_command() { return std::make_unique<ReadCommand>(); }

}  // namespace zav::cli
