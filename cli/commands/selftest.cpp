// zavctl selftest
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class SelftestCommand final : public Command {
public:
    const char* name() const override { return "selftest"; }
    const char* overview() const override {
        return "  selftest                 Adapter und Kabel prüfen, mit dem Prüfstecker\n"
               "    zavctl --port /dev/ttyUSB0 selftest\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT selftest [--json]\n"
               "\n"
               "Prüft Adapter und Kabel mit einem Prüfstecker (Schleife: Pin 2 und 3 des\n"
               "9-poligen Steckers verbunden, TX an RX): jeder Bytewert geht mit 2400 Baud 8N1\n"
               "hinaus und muss unverändert zurückkommen, und die Zeit je Byte muss zu\n"
               "2400 Baud passen (4,17 ms). Das Ergebnis steht in einer Zeile: \"Schleife OK\"\n"
               "oder was fehlt (kein Echo, falsche oder verlorene Bytes, falsche\n"
               "Geschwindigkeit).\n"
               "\n"
               "In ein Gerät wird nie etwas geschrieben. Zuerst gehen drei Bytes hinaus, die\n"
               "ein ZAV 160 verwirft (kein Rahmen); kommt kein Echo, fragt zavctl mit der\n"
               "Erkennung, ob ein Gerät antwortet, und meldet dann \"ein ZAV 160 antwortet:\n"
               "für den Selbsttest den Prüfstecker anschließen\".\n"
               "\n"
               "Exit-Code 0: Schleife OK; 3: die Schleife hat einen Fehler (oder kein\n"
               "Prüfstecker); 4: statt eines Echos antwortet ein ZAV 160.\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 selftest\n";
    }
    void add_to(CLI::App&) override {}
    int run(const CommonOptions& common) override { return command_selftest(common); }
};

}  // namespace

std::unique_ptr<Command> make_selftest_command() { return std::make_unique<SelftestCommand>(); }

}  // namespace zav::cli
