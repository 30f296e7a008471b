// zavctl read -o FILE
#include "cli/command.h"

namespace zav::cli {

namespace {

class ReadCommand final : public Command {
public:
    const char* name() const override { return "read"; }
    const char* overview() const override {
        return "  read -o DATEI            Konfiguration lesen und unverändert als Datei sichern\n"
               "                             zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT read -o DATEI\n"
               "\n"
               "Liest die Konfiguration des Geräts und sichert sie unverändert als\n"
               "Konfigurationsdatei, so wie das Gerät sie hält.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Datei, in die gesichert wird\n"
               "\n"
               "Beispiel:\n"
               "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override { subcommand.add_option("-o,--output", file_)->required(); }
    int run(const CommonOptions& common) override { return command_read(common, file_); }

private:
    std::string file_;
};

}  // namespace

std::unique_ptr<Command> make_read_command() { return std::make_unique<ReadCommand>(); }

}  // namespace zav::cli
