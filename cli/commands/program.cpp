// zavctl program FILE [--series [--plan PLAN.csv]] [--setup HEX] [--retries N]
//                     [--backup-dir DIR] [--no-backup] [--always] [--log FILE] [--operator NAME]
#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/output/reporter.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT program DATEI [--setup HEX] [--retries N]\n"
    "              [--backup-dir ORDNER] [--no-backup] [--always]\n"
    "              [--log DATEI] [--operator NAME]\n"
    "        zavctl --port PORT program VORLAGE --series [--plan PLAN.csv] ...\n"
    "\n"
    "Lädt die Datei, prüft sie wie das Konfigurationsfenster für die Ausstattung des\n"
    "angeschlossenen Geräts, sichert die Konfiguration des Geräts, programmiert die\n"
    "Datei und liest sie zur Verifikation zurück. Exit-Code 0 nur, wenn die\n"
    "Rücklesung stimmt. Hält das Gerät die Konfiguration schon, wird es nicht\n"
    "beschrieben (\"Unverändert\"); die Lesung ist dann die Verifikation. Ein\n"
    "Konfigurationstext, der eine andere Ausstattung nennt als die des Geräts, wird\n"
    "nicht programmiert (Exit-Code 4).\n"
    "\n"
    "Die Sicherung:\n"
    "  Vor dem ersten geschriebenen Block liest zavctl die Konfiguration des Geräts\n"
    "  und legt sie als Konfigurationsdatei im Ordner der Sicherungen ab, benannt\n"
    "  nach Datum, Uhrzeit, Bezeichnung (oder Gerätenummer) und den ersten 8\n"
    "  Hex-Ziffern ihrer SHA-256, etwa 2026-12-08_091502_LF-20-Fahrer_1a2b3c4d.zcf.\n"
    "  Ein Gerät ohne gültige Konfiguration (gelöscht) wird so genannt, nicht\n"
    "  gesichert. Lässt sich die Konfiguration nicht lesen oder die Sicherung\n"
    "  nicht schreiben, wird das Gerät nicht programmiert. \"zavctl restore\" spielt\n"
    "  eine Sicherung zurück.\n"
    "\n"
    "Optionen:\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port\n"
    "  --plan PLAN.csv   (mit --series) jedes Gerät bekommt die Vorlage mit den\n"
    "                    Werten seiner Zeile im Plan (unten)\n"
    "  --setup HEX       der Setup-Block (10 Hex-Ziffern, wie \"zavctl identify\" ihn\n"
    "                    zeigt), den jedes Gerät haben muss; sonst gilt der des\n"
    "                    (ersten) Geräts\n"
    "  --retries N       so oft wird ein Programmieren, das an der Leitung oder an\n"
    "                    einem Block scheitert, ganz wiederholt, und ebenso eine\n"
    "                    Lesung, die an der Leitung scheitert (Vorgabe 2; 0: nie)\n"
    "%BACKUP%"
    "%LOG%"
    "\n"
    "Strg+C beim Programmieren:\n"
    "  Das erste Strg+C lässt die Konfiguration zu Ende schreiben und bricht vor der\n"
    "  Verifikation ab (Exit-Code 130); ein zweites bricht sofort ab. Endet das\n"
    "  Programmieren vorzeitig, gleich warum, enthält das Gerät keine gültige\n"
    "  Konfiguration mehr und muss erneut programmiert werden.\n"
    "\n"
    "Die Serie:\n"
    "  Geräte nacheinander an denselben Port anschließen. Jedes Gerät wird\n"
    "  gesichert, programmiert und verifiziert; dann \"Gerät abklemmen\". Erst wenn\n"
    "  es zweimal hintereinander nicht mehr antwortet oder die Leitung weg ist, gilt\n"
    "  es als abgeklemmt (\"Gerät N abgeklemmt.\"), und das nächste kann kommen. So\n"
    "  wird kein Gerät zweimal programmiert: das nächste erst danach anschließen.\n"
    "  Alle Geräte einer Serie müssen vom selben Typ sein (alle fünf Bytes des\n"
    "  Setup-Blocks): vom Typ aus --setup oder sonst vom Typ des ersten Geräts.\n"
    "  Ein Gerät anderen Typs meldet \"Typ-Konflikt\" und wird nicht programmiert.\n"
    "  Nimmt die Feldprüfung die Datei für diesen Typ nicht an, endet die Serie\n"
    "  sofort. Das erste Strg+C beendet die Serie nach dem Gerät, das gerade\n"
    "  programmiert wird (zwischen zwei Geräten sofort); ein zweites bricht sofort\n"
    "  ab. Am Ende: \"Serie beendet: 4 programmiert, 1 unverändert, 1\n"
    "  fehlgeschlagen (Gerät 3).\" Ohne Plan: Exit-Code 0, wenn kein Gerät\n"
    "  fehlschlug, sonst 4. Mit --json ein JSON-Dokument je Zeile.\n"
    "  Mit --plan ist eine Zeile erst erledigt, wenn ihr Gerät verifiziert ist.\n"
    "  Scheitert ein Gerät, bleibt seine Zeile offen, und das nächste Gerät\n"
    "  bekommt sie (\"Gerät 2 (HLF 20) bleibt offen: ...\"). Ein Gerät, das schon\n"
    "  die Konfiguration einer erledigten Zeile hält, wird nicht noch einmal\n"
    "  programmiert und nicht gezählt (\"Dieses Gerät hält schon die Konfiguration\n"
    "  von Gerät 1 (LF 20) ...\"). Exit-Code 0 erst, wenn jede Zeile erledigt ist;\n"
    "  Strg+C, solange Zeilen offen sind: 130.\n"
    "\n"
    "Der Plan:\n"
    "  Eine CSV-Datei, wie eine Tabellenkalkulation sie speichert (Trennzeichen ;\n"
    "  oder ,; UTF-8 oder Windows-1252). Die Kopfzeile nennt in der ersten Spalte\n"
    "  \"bezeichnung\", in den anderen je ein Feld mit seinem Pfad aus dem Textformat\n"
    "  (adressen.nummern.1, zusatzrelais.1.ein_zeit, totzeit, ...); jede weitere\n"
    "  Zeile ist ein Gerät, in der Reihenfolge der Serie. Eine leere Zelle lässt\n"
    "  den Wert der Vorlage. Vor dem ersten Gerät wird jede Zeile geprüft (gibt es\n"
    "  das Feld, passt die Form des Werts), und sobald der Typ feststeht, mit den\n"
    "  Feldprüfungen des Fensters: eine falsche Zeile beendet die Serie mit Zeile,\n"
    "  Spalte und Grund, bevor ein Gerät beschrieben wird. Jede Zeile der Ausgabe\n"
    "  nennt die Bezeichnung: \"Gerät 3 (LF 20 Fahrer): V2.30, Verifikation OK !\".\n"
    "  Die Serie endet von selbst, wenn der Plan erledigt ist. Mit demselben --log\n"
    "  erneut gestartet, beginnt sie beim ersten Gerät, das laut Protokoll noch\n"
    "  nicht programmiert ist, und sagt das.\n"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series --setup 7F0111021E\n"
    "  zavctl --port /dev/ttyUSB0 program fahrzeug.toml --series --plan fahrzeuge.csv\n"
    "         --log fahrzeuge.jsonl --operator mueller\n";

std::string with_shared_options(std::string text) {
    text.replace(text.find("%BACKUP%"), 8, kBackupOptionsHelp);
    text.replace(text.find("%LOG%"), 5, kLogOptionsHelp);
    return text;
}

class ProgramCommand final : public Command {
public:
    ProgramCommand() : help_(with_shared_options(kHelp)) {}
    const char* name() const override { return "program"; }
    const char* overview() const override {
        return "  program DATEI            Gerät sichern, die Datei prüfen wie das Fenster,\n"
               "                           programmieren und verifizieren\n"
               "    zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  program DATEI --series   eine Serie: ein Gerät nach dem anderen am selben\n"
               "                           Port; mit --plan jedes mit seinen eigenen Werten\n"
               "    zavctl --port /dev/ttyUSB0 program fahrzeug.toml --series \\\n"
               "           --plan fahrzeuge.csv --log fahrzeuge.jsonl\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", options_.file)->required();
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--plan", options_.plan);
        subcommand.add_option("--setup", options_.setup);
        subcommand.add_option("--retries", options_.retries)->check(CLI::Range(0, 10));
        add_backup_options(subcommand, options_);
        add_log_options(subcommand, options_.log);
    }
    int run(const CommonOptions& common) override {
        if (!series_ && !options_.plan.empty()) {
            return Reporter(common.json, common.quiet).fail(only_with_series("--plan"));
        }
        return series_ ? command_program_series(common, options_) : command_program(common, options_);
    }

private:
    std::string help_;
    ProgramOptions options_;
    bool series_ = false;
};

}  // namespace

std::unique_ptr<Command> make_program_command() { return std::make_unique<ProgramCommand>(); }

}  // namespace zav::cli
