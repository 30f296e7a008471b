// zavctl diff FILE1 FILE2 [--setup HEX]: the fields in which two
// configurations differ, for one fitting (commands/record_files.h).
#include <string>
#include <vector>

#include "cli/app/command.h"
#include "cli/commands/fitting_choice.h"
#include "cli/commands/record_files.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"

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
    int run(const CommonOptions& common) override;

private:
    std::string first_;
    std::string second_;
    std::string setup_;
};

int DiffCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    Fitting fitting;
    std::vector<ConfigImage> images;
    const Outcome outcome = read_for_one_fitting(common, setup_, reporter, {first_, second_}, fitting, images);
    if (!outcome.ok()) return reporter.fail(outcome);
    const ConfigImage& first_image = images[0];
    const ConfigImage& second_image = images[1];

    const RecordDifferences differences =
        compare_records(first_image.bytes, second_image.bytes, fitting.setup[0], fitting.setup[1]);
    tell_fitting(reporter, fitting);
    if (differences.empty()) {
        reporter.line("Keine Unterschiede.");
    } else {
        reporter.paragraph("Unterschiede (" + shown_name(first_) + " -> " + shown_name(second_) + "):", "  ");
        reporter.block(differences_report(differences), "  ");
    }
    nlohmann::json document = differences_json(differences, "a", "b");
    document["files"] = {{"a", json_name(first_)}, {"b", json_name(second_)}};
    document["fitting"] = fitting_json(fitting);
    document["same"] = differences.empty();
    reporter.document(document);
    return differences.empty() ? kExitOk : kExitDiffers;
}

}  // namespace

std::unique_ptr<Command> make_diff_command() { return std::make_unique<DiffCommand>(); }

}  // namespace zav::cli
