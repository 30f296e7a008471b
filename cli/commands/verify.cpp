// zavctl verify FILE [--retries N]
#include "cli/command.h"

namespace zav::cli {

namespace {

class VerifyCommand final : public Command {
public:
    const char* name() const override { return "verify"; }
    const char* overview() const override {
        return "  verify DATEI             Gerät lesen und mit der Datei vergleichen\n"
               "    zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT verify DATEI [--retries N]\n"
               "\n"
               "Liest das Gerät und vergleicht seine Konfiguration mit der Datei, wie\n"
               "\"Verifizieren\" im Fenster: die erste abweichende Adresse, dann jedes Feld, das\n"
               "abweicht (Datei -> Gerät). Exit-Code 5 bei einem Unterschied.\n"
               "\n"
               "Optionen:\n"
               "  --retries N    so oft wird eine Rücklesung, die an der Leitung scheitert,\n"
               "                 wiederholt (Vorgabe 2; 0: nie)\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", file_)->required();
        subcommand.add_option("--retries", retries_)->check(CLI::Range(0, 10));
    }
    int run(const CommonOptions& common) override { return command_verify(common, file_, retries_); }

private:
    std::string file_;
    int retries_ = kDefaultRetries;
};

}  // namespace

std::unique_ptr<Command> make_verify_command() { return std::make_unique<VerifyCommand>(); }

}  // namespace zav::cli
