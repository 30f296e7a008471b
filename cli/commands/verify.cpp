// zavctl verify FILE [--series [--plan PLAN.csv] [--setup HEX]] [--retries N] [--log FILE] [--operator NAME]
#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/output/reporter.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT verify DATEI [--retries N] [--log DATEI]\n"
    "                                  [--operator NAME]\n"
    "        zavctl --port PORT verify VORLAGE --series [--plan PLAN.csv]\n"
    "                                  [--setup HEX] [--log DATEI] ...\n"
    "\n"
    "Liest das Gerät und vergleicht seine Konfiguration mit der Datei, wie\n"
    "\"Verifizieren\" im Fenster: die erste abweichende Adresse, dann jedes Feld, das\n"
    "abweicht (Datei -> Gerät). Exit-Code 5 bei einem Unterschied. Auf das Gerät\n"
    "wird nichts geschrieben.\n"
    "\n"
    "Die jährliche Prüfung (--series):\n"
    "  Ein Gerät nach dem anderen wird gelesen und mit der Vorlage verglichen, mit\n"
    "  --plan mit der Vorlage und den Werten seiner Zeile (wie bei program). Das\n"
    "  Protokoll hält je Gerät \"gleich\" (verified) oder die abweichenden Felder mit\n"
    "  Namen und beiden Werten (differs). Anschließen, Abklemmen, Typ und Strg+C wie\n"
    "  bei \"program --series\"; mit einem Plan endet die Serie von selbst. Am Ende:\n"
    "  \"Serie beendet: 3 gleich, 1 verschieden (Gerät 2), 0 fehlgeschlagen.\"\n"
    "  Exit-Code 0, wenn jedes Gerät gleich ist; 5 bei einem Unterschied. Ohne\n"
    "  Plan: 4, wenn ein Gerät nicht geprüft werden konnte. Mit Plan bleibt dessen\n"
    "  Zeile offen für das nächste Gerät, und ein Gerät, das als gleich geprüft\n"
    "  wurde und wiederkommt, gilt nicht als nächste Zeile; Strg+C, solange Zeilen\n"
    "  offen sind: 130.\n"
    "\n"
    "Optionen:\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port\n"
    "  --plan PLAN.csv   (mit --series) die Werte jedes Geräts, wie bei program\n"
    "  --setup HEX       (mit --series) der Setup-Block, den jedes Gerät haben muss\n"
    "  --retries N       so oft wird eine Lesung, die an der Leitung scheitert,\n"
    "                    wiederholt (Vorgabe 2; 0: nie)\n"
    "%LOG%"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 verify fahrzeug.toml --series --plan fahrzeuge.csv\n"
    "         --log pruefung-2027.jsonl\n";

class VerifyCommand final : public Command {
public:
    VerifyCommand() : help_(kHelp) { help_.replace(help_.find("%LOG%"), 5, kLogOptionsHelp); }
    const char* name() const override { return "verify"; }
    const char* overview() const override {
        return "  verify DATEI             Gerät lesen und mit der Datei vergleichen\n"
               "    zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n"
               "  verify DATEI --series    die jährliche Prüfung: jedes Gerät lesen und\n"
               "                           vergleichen, mit --plan mit seiner Zeile\n"
               "    zavctl --port /dev/ttyUSB0 verify fahrzeug.toml --series \\\n"
               "           --plan fahrzeuge.csv --log pruefung.jsonl\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", options_.file)->required();
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--plan", options_.plan);
        subcommand.add_option("--setup", options_.setup);
        subcommand.add_option("--retries", options_.retries)->check(CLI::Range(0, 10));
        add_log_options(subcommand, options_.log);
    }
    int run(const CommonOptions& common) override {
        if (!series_) {
            const Reporter reporter(common.json, common.quiet);
            if (!options_.plan.empty()) return reporter.fail(only_with_series("--plan"));
            if (!options_.setup.empty()) return reporter.fail(only_with_series("--setup"));
        }
        return series_ ? command_verify_series(common, options_) : command_verify(common, options_);
    }

private:
    std::string help_;
    VerifyOptions options_;
    bool series_ = false;
};

}  // namespace

std::unique_ptr<Command> make_verify_command() { return std::make_unique<VerifyCommand>(); }

}  // namespace zav::cli
