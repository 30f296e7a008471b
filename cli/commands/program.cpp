// zavctl program FILE [--series] [--setup HEX] [--retries N]
#include "cli/command.h"

namespace zav::cli {

namespace {

class ProgramCommand final : public Command {
public:
    const char* name() const override { return "program"; }
    const char* overview() const override {
        return "  program DATEI            prüfen wie das Konfigurationsfenster, programmieren,\n"
               "                           verifizieren (Exit-Code 0 nur, wenn alles stimmt)\n"
               "    zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  program DATEI --series   eine Serie: ein Gerät nach dem anderen am selben\n"
               "                           Port; Strg+C beendet sie\n"
               "    zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT program DATEI [--series] [--setup HEX] [--retries N]\n"
               "\n"
               "Lädt die Datei, prüft sie wie das Konfigurationsfenster für die Ausstattung des\n"
               "angeschlossenen Geräts, programmiert sie und liest sie zur Verifikation zurück.\n"
               "Exit-Code 0 nur, wenn die Rücklesung stimmt.\n"
               "\n"
               "Optionen:\n"
               "  --series       eine Serie: ein Gerät nach dem anderen am selben Port\n"
               "  --setup HEX    der Setup-Block (10 Hex-Ziffern, wie \"zavctl identify\" ihn\n"
               "                 zeigt), den jedes Gerät haben muss; sonst gilt der des\n"
               "                 (ersten) Geräts\n"
               "  --retries N    so oft wird ein Programmieren, das an der Leitung oder an\n"
               "                 einem Block scheitert, ganz wiederholt, und ebenso eine\n"
               "                 Rücklesung, die an der Leitung scheitert (Vorgabe 2; 0: nie)\n"
               "\n"
               "Strg+C beim Programmieren:\n"
               "  Das erste Strg+C lässt die Konfiguration zu Ende schreiben und bricht vor der\n"
               "  Verifikation ab (Exit-Code 130); ein zweites bricht sofort ab. Endet das\n"
               "  Programmieren vorzeitig, gleich warum, enthält das Gerät keine gültige\n"
               "  Konfiguration mehr und muss erneut programmiert werden.\n"
               "\n"
               "Die Serie:\n"
               "  Geräte nacheinander an denselben Port anschließen. Jedes Gerät wird\n"
               "  programmiert und verifiziert; dann \"Gerät abklemmen\". Erst wenn es zweimal\n"
               "  hintereinander nicht mehr antwortet oder die Leitung weg ist, gilt es als\n"
               "  abgeklemmt (\"Gerät N abgeklemmt.\"), und das nächste kann kommen. So wird\n"
               "  kein Gerät zweimal programmiert: das nächste erst danach anschließen.\n"
               "  Alle Geräte einer Serie müssen vom selben Typ sein (alle fünf Bytes des\n"
               "  Setup-Blocks): vom Typ aus --setup oder sonst vom Typ des ersten Geräts.\n"
               "  Ein Gerät anderen Typs meldet \"Typ-Konflikt\" und wird nicht programmiert.\n"
               "  Nimmt die Feldprüfung die Datei für diesen Typ nicht an, endet die Serie\n"
               "  sofort. Das erste Strg+C beendet die Serie nach dem Gerät, das gerade\n"
               "  programmiert wird (zwischen zwei Geräten sofort); ein zweites bricht sofort\n"
               "  ab. Am Ende: \"Serie beendet: 4 programmiert, 1 fehlgeschlagen (Gerät 3).\"\n"
               "  Exit-Code 0, wenn jedes Gerät gelang, sonst 4; 130, wenn Strg+C ein Gerät\n"
               "  mittendrin abbrach. Mit --json ein JSON-Dokument je Zeile.\n"
               "\n"
               "Beispiele:\n"
               "  zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series --setup 7F0111021E\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", options_.file)->required();
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--setup", options_.setup);
        subcommand.add_option("--retries", options_.retries)->check(CLI::Range(0, 10));
    }
    int run(const CommonOptions& common) override {
        return series_ ? command_program_series(common, options_) : command_program(common, options_);
    }

private:
    ProgramOptions options_;
    bool series_ = false;
};

}  // namespace

std::unique_ptr<Command> make_program_command() { return std::make_unique<ProgramCommand>(); }

}  // namespace zav::cli
