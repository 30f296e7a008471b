#include "cli/series/series_summary.h"

#include <algorithm>

#include "cli/platform/console.h"
#include "fleet/log/device_outcome.h"

namespace zav::cli {

int series_exit_code(const SeriesEnding& ending, const SeriesRows& rows, bool differences, bool failures) {
    if (ending.interrupted_device) return kExitInterrupted;
    if (ending.stop_code != kExitOk) return ending.stop_code;
    if (rows.with_plan()) {
        if (!rows.all_done()) return kExitInterrupted;
        return differences ? kExitDiffers : kExitOk;
    }
    if (failures) return kExitRefused;
    return differences ? kExitDiffers : kExitOk;
}

void SeriesSummary::count(DeviceOutcome tally, int number) {
    ++tallies_[tally];
    numbers_[tally].push_back(number);
}

int SeriesSummary::count_of(DeviceOutcome tally) const {
    const auto found = tallies_.find(tally);
    return found == tallies_.end() ? 0 : found->second;
}

std::vector<int> SeriesSummary::numbers(DeviceOutcome tally) const {
    std::vector<int> once;
    const auto found = numbers_.find(tally);
    if (found == numbers_.end()) return once;
    for (const int number : found->second) {
        if (std::find(once.begin(), once.end(), number) == once.end()) once.push_back(number);
    }
    return once;
}

int SeriesSummary::tell(const Reporter& reporter, const SeriesWork& work, const SeriesRows& rows, const AuditLog* log,
                        const SeriesEnding& ending) const {
    const int exit_code = series_exit_code(ending, rows, count_of(DeviceOutcome::kDiffers) > 0,
                                           count_of(DeviceOutcome::kFailed) > 0);
    const bool logged = log != nullptr && log->active();

    std::string text;
    nlohmann::json document = {{"event", "end"}};
    for (const SummaryPart& part : work.summary_parts()) {
        const int n = count_of(part.tally);
        document[outcome_name(part.tally)] = n;
        if (part.json_devices_key != nullptr) document[part.json_devices_key] = numbers(part.tally);
        if (n == 0 && !part.always) continue;
        text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + part.words;
        if (part.json_devices_key != nullptr) text += devices_text(numbers(part.tally));
    }
    reporter.line("Serie beendet: " + text + ".");
    if (rows.with_plan()) {
        const std::vector<int> left = rows.open_devices();
        document["left_devices"] = left;
        if (!left.empty()) {
            reporter.line("Noch offen laut Plan: " + devices_list(left) +
                          (logged && work.continues_from_log() ? " (mit demselben --log erneut starten)." : "."));
        }
    }
    if (logged) {
        reporter.line("Protokoll: " + shown_name(log->path()));
        document["log"] = json_name(log->path());
    }
    document["exit_code"] = exit_code;
    reporter.document_line(document);
    return exit_code;
}

}  // namespace zav::cli
