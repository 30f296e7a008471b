#include "cli/series/series_start.h"

#include "cli/app/setup_option.h"
#include "cli/device/port_opening.h"
#include "cli/platform/console.h"
#include "cli/series/series_plan.h"
#include "fleet/base/file_names.h"
#include "fleet/base/time_stamps.h"

namespace zav::cli {

Outcome start_series(const CommonOptions& common, const std::string& setup_text, const std::string& plan_path,
                     SeriesStart& start) {
    if (!setup_text.empty()) {
        const Outcome given = parse_setup_option(setup_text, start.given_type);
        if (!given.ok()) return given;
        start.with_type = true;
    }
    if (!plan_path.empty()) {
        const Outcome read = read_plan(plan_path, start.plan);
        if (!read.ok()) return read;
        start.with_plan = true;
    }
    start.setup.port = chosen_port(common.port);
    if (start.setup.port.empty()) return no_port_given();
    start.setup.plan = start.with_plan ? &start.plan : nullptr;
    start.setup.plan_path = plan_path;
    start.setup.given_type = start.with_type ? start.given_type : nullptr;
    return success();
}

Outcome start_planned_series(const CommonOptions& common, const ConfigurationSource& file,
                             const std::string& setup_text, const std::string& plan_path, const Reporter& reporter,
                             SeriesStart& start, std::optional<PlannedRecords>& records) {
    const Outcome started = start_series(common, setup_text, plan_path, start);
    if (!started.ok()) return started;
    records.emplace(file, start.setup.plan, shown_name(plan_path));
    const Outcome checked = records->check_rows();
    if (!checked.ok()) return checked;
    for (const std::string& warning : records->warnings()) reporter.note("Warnung: " + warning);
    return success();
}

Outcome open_series_log(const LogOptions& log, SeriesStart& start) {
    const std::string path = log.file.empty() ? default_series_log_name(local_time_now_iso8601()) : log.file;
    const Outcome opened = start.log.open(path);
    if (!opened.ok()) return opened;
    start.setup.log = &start.log;
    start.setup.operator_name = operator_of(log.operator_name);
    return success();
}

}  // namespace zav::cli
