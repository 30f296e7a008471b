// zavctl read -o FILE [--force]
#include "cli/command.h"

namespace zav::cli {

namespace {

class ReadCommand final : public Command {
public:
    const char* name() const override { return "read"; }
    const char* overview() const override {
        return "  read -o DATEI            Konfiguration lesen und unverändert sichern\n"
               "    zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl --port PORT read -o DATEI [--force]\n"
               "\n"
               "Erkennt das Gerät wie \"Verbinden\", liest seine Konfiguration und sichert sie\n"
               "unverändert als Konfigurationsdatei, so wie das Gerät sie hält. Ein Gerät, das\n"
               "das Programm nicht annimmt, wird nicht gelesen. Die Ausgabe nennt die\n"
               "Software-Version und den Setup-Block des Geräts.\n"
               "\n"
               "Die Datei wird ganz oder gar nicht geschrieben. Eine vorhandene Datei bleibt,\n"
               "wie sie ist, außer mit --force; dann behält die neue ihre Zugriffsrechte. Ist\n"
               "DATEI ein symbolischer Verweis, bekommt sein Ziel den neuen Inhalt. Geräte,\n"
               "Ordner und FIFOs werden nie ersetzt. Ob die Datei geschrieben werden kann,\n"
               "prüft zavctl, bevor es das Gerät anspricht.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output DATEI  die Datei, in die gesichert wird; - schreibt sie auf die\n"
               "                      Standardausgabe (in eine Umleitung oder Pipe)\n"
               "  --force             eine vorhandene Datei ersetzen\n"
               "\n"
               "Beispiele:\n"
               "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n"
               "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf --force\n"
               "  zavctl --port /dev/ttyUSB0 read -o - | ssh archiv 'cat > wache-3.zcf'\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("-o,--output", file_)->required();
        subcommand.add_flag("--force", force_);
    }
    int run(const CommonOptions& common) override { return command_read(common, file_, force_); }

private:
    std::string file_;
    bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> make_read_command() { return std::make_unique<ReadCommand>(); }

}  // namespace zav::cli
