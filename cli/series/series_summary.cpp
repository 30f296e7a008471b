#include "cli/series/series_summary.h"

#include <algorithm>

#include "cli/platform/console.h"
#include "cli/series/series_words.h"
#include "fleet/base/json_text.h"
#include "fleet/base/time_stamps.h"
#include "fleet/log/device_outcome.h"

namespace zav::cli {

int series_exit_code(const SeriesEnding& ending, const SeriesRows& rows, const SeriesVerdicts& verdicts) {
    if (ending.interrupted_device) return kExitInterrupted;
    if (ending.stop_code != kExitOk) return ending.stop_code;
    if (ending.port_failure_code != kExitOk && !(rows.with_plan() && rows.all_done())) {
        return ending.port_failure_code;
    }
    if (rows.with_plan()) {
        if (!rows.all_done()) return kExitInterrupted;
        if (verdicts.attention) return kExitAttention;
        return verdicts.differences ? kExitDiffers : kExitOk;
    }
    if (verdicts.failures) return kExitRefused;
    return verdicts.differences ? kExitDiffers : kExitOk;
}

void SeriesSummary::count(DeviceOutcome tally, int number, size_t port) {
    ++tallies_[tally];
    numbers_[tally].push_back(number);
    by_port_[port][tally].push_back(number);
}

void SeriesSummary::count_done_already(int number) { done_already_.push_back(number); }

void SeriesSummary::name_left_device(const PlanRow& held, const std::string& port, const std::string& time) {
    left_.push_back({&held, port, time});
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

// A line for each port: what its devices came to, each named, and a port
// that failed for good with its failure, so that the technician knows
// which adapter to look at.
void SeriesSummary::tell_ports(const Reporter& reporter, const SeriesWork& work, const std::vector<SeriesPort>& ports,
                               nlohmann::json& document) const {
    nlohmann::json listed = nlohmann::json::array();
    for (size_t i = 0; i < ports.size(); ++i) {
        const auto found = by_port_.find(i);
        std::string text;
        nlohmann::json port = {{"port", json_name(ports[i].name)}};
        for (const SummaryPart& part : work.summary_parts()) {
            std::vector<int> numbers;  // each device told, a device that failed twice twice
            if (found != by_port_.end() && found->second.count(part.tally) > 0) numbers = found->second.at(part.tally);
            std::vector<int> once;  // each device named once, in the order they came
            for (const int number : numbers) {
                if (std::find(once.begin(), once.end(), number) == once.end()) once.push_back(number);
            }
            port[outcome_name(part.tally)] = numbers.size();
            port[std::string(outcome_name(part.tally)) + "_devices"] = once;
            if (numbers.empty() && !part.always) continue;
            text += (text.empty() ? "" : ", ") + std::to_string(numbers.size()) + " " + part.words + devices_text(once);
        }
        port["port_failed"] = ports[i].failed;
        if (ports[i].failed) {
            text += "; ausgefallen: " + ports[i].failure.message;
            port["error"] = {{"exit_code", ports[i].failure.exit_code},
                             {"message", json_text(ports[i].failure.message)}};
        }
        reporter.line("  [" + ports[i].tag + "] " + text + ".");
        listed.push_back(port);
    }
    document["ports"] = listed;
}

int SeriesSummary::tell(const Reporter& reporter, const SeriesWork& work, const SeriesRows& rows, const AuditLog* log,
                        const SeriesEnding& ending, const std::vector<SeriesPort>& ports) const {
    const int exit_code = series_exit_code(ending, rows,
                                           {count_of(DeviceOutcome::kDiffers) > 0, count_of(DeviceOutcome::kFailed) > 0,
                                            count_of(DeviceOutcome::kNeedsAttention) > 0});
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
    if (rows.with_plan()) {
        // Not a device of its own, but each was looked at and left as it is.
        std::vector<int> once;
        for (const int number : done_already_) {
            if (std::find(once.begin(), once.end(), number) == once.end()) once.push_back(number);
        }
        document["done_already"] = done_already_.size();
        document["done_already_devices"] = once;
        if (!once.empty()) text += ", " + std::to_string(done_already_.size()) + " schon erledigt" + devices_text(once);
    }
    reporter.line("Serie beendet: " + text + ".");
    nlohmann::json left = nlohmann::json::array();
    for (const LeftDevice& device : left_) {
        reporter.line("Zu klären: das Gerät an " + shown_name(device.port) + " seit " + clock_time_of(device.time) +
                      " mit der Konfiguration von " + row_name(*device.held) + ".");
        left.push_back({{"device", device.held->device}, {"port", json_name(device.port)}, {"started", device.time}});
    }
    if (!left_.empty()) document["attention"] = left;
    if (ports.size() > 1) tell_ports(reporter, work, ports, document);
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
