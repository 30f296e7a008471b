#include "cli/series/series.h"

#include <cstring>

#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/series/port_series.h"
#include "cli/series/shared_series.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

std::string row_name(const PlanRow& row) {
    return "Gerät " + std::to_string(row.device) + " (" + row.label_cp1252 + ")";
}

int Series::run() {
    say("Serie: Geräte nacheinander anschließen; Strg+C beendet die Serie.");
    if (setup_.log != nullptr && setup_.log->active()) say("Protokoll: " + shown_name(setup_.log->path()));
    if (tell_plan_start() && (setup_.given_type == nullptr || fix_type(setup_.given_type, "aus --setup"))) {
        run_port_series(*this, setup_.port);
    }
    return summary_.tell(reporter_, work_, rows_, setup_.log, ending_);
}

// A series that continues a log says where; false when nothing is left.
bool Series::tell_plan_start() {
    if (setup_.plan == nullptr) return true;
    const std::vector<int> done = rows_.done_devices();
    const size_t total = setup_.plan->rows.size();
    say("Plan " + shown_name(setup_.plan_path) + ": " + std::to_string(total) + (total == 1 ? " Gerät." : " Geräte."));
    if (done.empty()) return true;
    const std::string log = shown_name(setup_.log->path());
    const PlanRow* row = rows_.next();
    if (row == nullptr) {
        reporter_.line("Laut Protokoll " + log + " ist jedes Gerät des Plans schon programmiert.");
        return false;
    }
    reporter_.line("Laut Protokoll " + log + " schon programmiert: " + devices_list(done) + "; weiter mit Gerät " +
                   std::to_string(row->device) + " (" + row->label_cp1252 + ").");
    return true;
}

bool Series::fix_type(const uint8_t* setup, const char* source) {
    std::memcpy(type_, setup, kSetupBlockBytes);
    have_type_ = true;
    say("Typ der Serie: Setup " + setup_hex(type_) + " (V" + version_text(type_) + "), " + source + ".");
    const Outcome taken = work_.take_type(type_);
    if (!taken.ok()) {
        tell_stop(taken);
        return false;
    }
    if (setup_.plan != nullptr && work_.row_record(&setup_.plan->rows.front()) != nullptr) {
        std::vector<ConfigRecord> records;
        for (const PlanRow& row : setup_.plan->rows) {
            ConfigRecord record;
            std::memcpy(record.data(), work_.row_record(&row), kRecordBytes);
            records.push_back(record);
        }
        rows_.take_records(records);
        tell_identical_rows();
    }
    return true;
}

// Rows that come out the same cannot be told apart on a device: a device
// holding that record counts for the next open one of them, as it would
// without a plan.
void Series::tell_identical_rows() {
    for (const std::vector<const PlanRow*>& group : rows_.identical_rows()) {
        std::string names;
        nlohmann::json devices = nlohmann::json::array();
        for (size_t i = 0; i < group.size(); ++i) {
            if (i > 0) names += i + 1 == group.size() ? " und " : ", ";
            names += row_name(*group[i]);
            devices.push_back(group[i]->device);
        }
        reporter_.line("Gleiche Konfiguration laut Plan: " + names +
                       ". Ein Gerät, das sie schon hält, lässt sich keiner dieser Zeilen sicher zuordnen; es zählt "
                       "für die nächste offene.");
        reporter_.document_line({{"event", "identical_records"}, {"devices", devices}});
    }
}

std::string devices_list(const std::vector<int>& numbers) {
    std::string text = numbers.size() == 1 ? "Gerät " : "Geräte ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += i + 1 == numbers.size() ? " und " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text;
}

std::string devices_text(const std::vector<int>& numbers) {
    return numbers.empty() ? std::string() : " (" + devices_list(numbers) + ")";
}

int run_series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup) {
    Series series(reporter, work, setup);
    return series.run();
}

}  // namespace zav::cli
