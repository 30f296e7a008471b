// zavctl diff FILE1 FILE2 [--setup HEX]
#include "cli/app/command.h"

namespace zav::cli {

namespace {

class DiffCommand final : public Command {
public:
    const char* name() const override { return "diff"; }
    const char* overview() const override {
        return "  diff DATEI1 DATEI2       die Felder, in denen sich zwei Dateien unterscheiden\n"
               "    zavctl diff alt.zcf neu.zcf --setup BF073C020A\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl diff DATEI1 DATEI2 [--setup HEX | --port PORT]\n"
               "\n"
               "Nennt jedes Feld, in dem sich die zwei Konfigurationen unterscheiden\n"
               "(DATEI1 -> DATEI2), dann die Adressen, die sich unterscheiden, ohne dass ein\n"
               "Feld es zeigt, mit dem, was dort steht (\"5-Ton Nummer 5, hinter\n"
               "Anzahl-5Ton\"). Exit-Code 5 bei einem Unterschied. Die Ausstattung wie bei\n"
               "show: aus --setup, vom Gerät an --port ($ZAV_PORT allein genügt nicht), aus\n"
               "einem der Texte, der sie nennt, sonst angenommen.\n"
               "\n"
               "Optionen:\n"
               "  --setup HEX  die Ausstattung als Setup-Block (10 Hex-Ziffern, wie identify ihn\n"
               "               zeigt)\n"
               "\n"
               "Beispiel:\n"
               "  zavctl diff alt.zcf neu.zcf --setup BF073C020A\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI1", first_)->required();
        subcommand.add_option("DATEI2", second_)->required();
        subcommand.add_option("--setup", setup_);
    }
    int run(const CommonOptions& common) override { return command_diff(common, first_, second_, setup_); }

private:
    std::string first_;
    std::string second_;
    std::string setup_;
};

}  // namespace

std::unique_ptr<Command> make_diff_command() { return std::make_unique<DiffCommand>(); }

}  // namespace zav::cli
