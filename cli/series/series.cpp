#include "cli/series/series.h"

#include <cstring>
#include <memory>

#include "cli/device/port_short_name.h"
#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/thread.h"
#include "cli/series/port_series.h"
#include "cli/series/series_words.h"
#include "fleet/base/text_encoding.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

Series::Series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup)
    : reporter_(reporter), work_(work), setup_(setup), rows_(setup.plan, setup.logged.done, setup.logged.unverified) {
    const std::vector<std::string> names = setup.ports.empty() ? std::vector<std::string>{setup.port} : setup.ports;
    for (const std::string& name : names) {
        SeriesPort port;
        port.name = name;
        // The trace's name for it, as a text of the program.
        port.tag = cp1252_from_utf8(port_short_name(name));
        ports_.push_back(port);
    }
}

Reporter Series::port_reporter(size_t index) const {
    return ports_.size() > 1 ? reporter_.for_port(ports_[index].tag, ports_[index].name) : reporter_;
}

int Series::run() {
    say("Serie: Geräte nacheinander anschließen; Strg+C beendet die Serie.");
    if (setup_.log != nullptr && setup_.log->active()) say("Protokoll: " + shown_name(setup_.log->path()));
    if (tell_plan_start() && (setup_.given_type == nullptr || fix_type(setup_.given_type, "aus --setup"))) {
        run_ports();
    }
    return summary_.tell(reporter_, work_, rows_, setup_.log, ending_, ports_);
}

// One port on this thread, as always; several each on a thread of its own,
// since each waits on its own line, and the series ends when all have.
void Series::run_ports() {
    if (ports_.size() == 1) {
        run_port_series(*this, 0);
        return;
    }
    std::vector<std::unique_ptr<Thread>> threads;
    for (size_t i = 0; i < ports_.size(); ++i) {
        threads.push_back(std::make_unique<Thread>([this, i] { run_port_series(*this, i); }));
    }
    for (const std::unique_ptr<Thread>& thread : threads) thread->join();
}

void Series::port_failed(size_t index, const Outcome& failure) {
    const Held held(lock_);
    ports_[index].failed = true;
    ports_[index].failure = failure;
    if (ending_.port_failure_code == kExitOk) ending_.port_failure_code = failure.exit_code;
    // With every port gone the series has nothing left to wait for: it
    // ends with the failure, as a series on one port does.
    for (const SeriesPort& port : ports_) {
        if (!port.failed) return;
    }
    if (ending_.stop_code == kExitOk) ending_.stop_code = ending_.port_failure_code;
}

bool Series::take_type_of(const uint8_t* setup) {
    const Held held(type_lock_);
    if (has_type()) return true;
    if (stopped()) return false;
    return fix_type(setup, "vom ersten Gerät");
}

// A series that continues a log says where; false when nothing is left.
bool Series::tell_plan_start() {
    if (setup_.plan == nullptr) return true;
    const std::vector<int> done = rows_.done_devices();
    const size_t total = setup_.plan->rows.size();
    say("Plan " + shown_name(setup_.plan_path) + ": " + std::to_string(total) + (total == 1 ? " Gerät." : " Geräte."));
    for (const size_t row : setup_.logged.attention) {
        reporter_.line("Laut Protokoll noch zu klären: ein Gerät mit der Konfiguration von " +
                       row_name(setup_.plan->rows[row]) + ".");
    }
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
    // Only now may another port work on a device of the type.
    const Held held(lock_);
    have_type_ = true;
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

int run_series(const Reporter& reporter, SeriesWork& work, const SeriesSetup& setup) {
    Series series(reporter, work, setup);
    return series.run();
}

}  // namespace zav::cli
