// zavctl verify FILE
#include "cli/command.h"

namespace zav::cli {

namespace {

class VerifyCommand final : public Command {
public:
    const char* name() const override { return "verify"; }
    const char* overview() const override {
        return "  verify DATEI             Gerät lesen und mit der Datei vergleichen, Feld für Feld\n"
               "                             zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT verify DATEI\n"
               "\n"
               "Liest das Gerät und vergleicht seine Konfiguration mit der Datei, wie\n"
               "\"Verifizieren\" im Fenster: die erste abweichende Adresse, dann jedes Feld, das\n"
               "abweicht (Datei -> Gerät). Exit-Code 5 bei einem Unterschied.\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override { subcommand.add_option("DATEI", file_)->required(); }
    int run(const CommonOptions& common) override { return command_verify(common, file_); }

private:
    std::string file_;
};

}  // namespace

std::unique_ptr<Command> make_verify_command() { return std::make_unique<VerifyCommand>(); }

}  // namespace zav::cli
