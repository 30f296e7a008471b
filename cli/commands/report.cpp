// zavctl report LOG.jsonl|FILE... -o OUTPUT [--csv] [--setup HEX] [--force]
#include "cli/app/command.h"

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
               "Datensatzes und hat Zeilen für die Unterschriften. Aus der jährlichen Prüfung\n"
               "(verify) wird je Gerät ein Prüfprotokoll: jedes Feld mit Soll und Ist, eine\n"
               "Zeile für die Unterschrift des Prüfers. Inventarnummer und Bemerkung kommen\n"
               "aus dem Plan. Ein Gerät, das fehlgeschlagen ist, bekommt kein Blatt (das wird\n"
               "gesagt).\n"
               "Ohne Protokoll: Konfigurationsdateien, je ein Blatt; die Ausstattung aus\n"
               "--setup, sonst angenommen (Vollausstattung, das Blatt sagt es).\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Datei, die geschrieben wird (ganz oder gar nicht)\n"
               "  --csv         eine Inventarliste statt der Blätter: eine Zeile je Gerät, auch\n"
               "                je fehlgeschlagenem, mit jeder Spalte des Plans; Trennzeichen\n"
               "                ';', UTF-8 mit BOM, so dass Tabellenkalkulationen sie mit\n"
               "                Umlauten öffnen. Eine Zelle, die eine Tabellenkalkulation als\n"
               "                Zahl, Datum oder Formel nähme, beginnt mit einem unsichtbaren\n"
               "                Zeichen (U+2060): führende Nullen bleiben, nichts wird\n"
               "                berechnet.\n"
               "  --setup HEX   die Ausstattung der Konfigurationsdateien als Setup-Block\n"
               "                (10 Hex-Ziffern, wie identify ihn zeigt)\n"
               "  --force       eine vorhandene Ausgabedatei ersetzen\n"
               "\n"
               "Eine Zeile des Protokolls, die kein JSON ist (bei Stromausfall oder vollem\n"
               "Datenträger abgebrochen), wird mit ihrer Nummer genannt und übergangen. Eine\n"
               "Zeile, der ein Schlüssel fehlt oder deren Wert nicht passt, wird mit ihrer\n"
               "Nummer genannt (Exit-Code 2); dann wird nichts geschrieben. Eine Eingabe wird\n"
               "nie überschrieben, auch nicht mit --force.\n"
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
