// zavctl report LOG.jsonl|FILE... -o OUTPUT [--csv] [--setup HEX] [--force]
#include "cli/command.h"

namespace zav::cli {

namespace {

class ReportCommand final : public Command {
public:
    const char* name() const override { return "report"; }
    const char* overview() const override {
        return "  report PROTOKOLL         Übergabeblätter zum Ausdrucken (ein A4-Blatt je\n"
               "                           Gerät) oder mit --csv eine Inventarliste\n"
               "    zavctl report serie.jsonl -o blatt.html\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl report PROTOKOLL.jsonl... -o BLATT.html [--csv] [--force]\n"
               "        zavctl report DATEI... -o BLATT.html [--setup HEX] [--csv] [--force]\n"
               "\n"
               "Erstellt aus dem Protokoll einer Serie (--log) die Übergabeblätter: eine\n"
               "HTML-Seite mit einem A4-Blatt je Gerät, zum Ausdrucken im Browser. Jedes Blatt\n"
               "nennt Bezeichnung, Datum, Bearbeiter, Version, Setup-Block und DT-Satz, jedes\n"
               "Feld wie \"zavctl show\", das Ergebnis der Verifikation, die SHA-256 des\n"
               "Datensatzes und hat Zeilen für die Unterschriften. Ein Gerät, das\n"
               "fehlgeschlagen ist, bekommt kein Blatt (das wird gesagt).\n"
               "Ohne Protokoll: Konfigurationsdateien, je ein Blatt; die Ausstattung aus\n"
               "--setup, sonst angenommen (Vollausstattung, das Blatt sagt es).\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Datei, die geschrieben wird (ganz oder gar nicht)\n"
               "  --csv         eine Inventarliste statt der Blätter: eine Zeile je Gerät, auch\n"
               "                je fehlgeschlagenem; Trennzeichen ';', UTF-8 mit BOM, so dass\n"
               "                Excel und LibreOffice sie mit Umlauten öffnen. Nummern und\n"
               "                Codes stehen als =\"...\", damit führende Nullen bleiben.\n"
               "  --setup HEX   die Ausstattung der Konfigurationsdateien als Setup-Block\n"
               "                (10 Hex-Ziffern, wie identify ihn zeigt)\n"
               "  --force       eine vorhandene Ausgabedatei ersetzen\n"
               "\n"
               "Eine Zeile des Protokolls, die kein JSON ist oder der ein Schlüssel fehlt,\n"
               "wird mit ihrer Nummer genannt (Exit-Code 2); dann wird nichts geschrieben.\n"
               "\n"
               "Beispiele:\n"
               "  zavctl report serie.jsonl -o blatt.html\n"
               "  zavctl report serie.jsonl --csv -o inventar.csv\n"
               "  zavctl report wache-3.zcf --setup BF073C020A -o wache-3.html\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("PROTOKOLL", options_.inputs)->required();
        subcommand.add_option("-o,--output", options_.output)->required();
        subcommand.add_flag("--csv", options_.csv);
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override { return command_report(common, options_); }

private:
    ReportOptions options_;
};

}  // namespace

std::unique_ptr<Command> make_report_command() { return std::make_unique<ReportCommand>(); }

}  // namespace zav::cli
