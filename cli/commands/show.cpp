// zavctl show FILE [--setup HEX]
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class ShowCommand final : public Command {
public:
    const char* name() const override { return "show"; }
    const char* overview() const override {
        return "  show DATEI               die Konfiguration als Bericht, wie im Fenster\n"
               "    zavctl show wache-3.zcf --setup BF073C020A\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl show DATEI [--setup HEX | --port PORT]\n"
               "\n"
               "Zeigt die Konfiguration als Bericht, jedes Feld unter dem Namen, den das\n"
               "Konfigurationsfenster ihm gibt. Die Ausstattung kommt aus --setup, vom Gerät an\n"
               "--port oder aus dem Text, der sie nennt; sonst wird die Vollausstattung\n"
               "angenommen, und der Bericht sagt das. $ZAV_PORT allein befragt kein Gerät.\n"
               "\n"
               "Am Ende steht die Feldprüfung des Fensters. Nähme das Fenster die Datei nicht\n"
               "an, nennt show das Feld und endet mit Exit-Code 4: so taugt show als Prüfung\n"
               "vor dem Programmieren. Erhielte ein Gerät dieser Ausstattung etwas anderes als\n"
               "die Datei, steht es darunter.\n"
               "\n"
               "Optionen:\n"
               "  --setup HEX  die Ausstattung als Setup-Block (10 Hex-Ziffern, wie identify ihn\n"
               "               zeigt)\n"
               "\n"
               "Beispiele:\n"
               "  zavctl show wache-3.zcf --setup BF073C020A\n"
               "  zavctl --port /dev/ttyUSB0 show wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", file_)->required();
        subcommand.add_option("--setup", setup_);
    }
    int run(const CommonOptions& common) override { return command_show(common, file_, setup_); }

private:
    std::string file_;
    std::string setup_;
};

}  // namespace

std::unique_ptr<Command> make_show_command() { return std::make_unique<ShowCommand>(); }

}  // namespace zav::cli
