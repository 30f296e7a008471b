#include "cli/series/series_start.h"

#include <memory>
#include <vector>

#include "cli/app/setup_option.h"
#include "cli/device/port_opening.h"
#include "cli/device/port_short_name.h"
#include "cli/platform/file_identity.h"
#include "cli/platform/console.h"
#include "cli/series/series_plan.h"
#include "fleet/base/file_names.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/time_stamps.h"

namespace zav::cli {

namespace {

// Several ports: each named once, and none held by another program or
// closed to the tool for good, before any device is touched on any. A port
// that is missing may yet be plugged in; the series waits for it as for
// one port.
Outcome check_ports(const std::vector<std::string>& ports) {
    for (size_t i = 0; i < ports.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            // Two names of one adapter (/dev/ttyUSB0 and its name under
            // /dev/serial/by-id) would make its ports wait on each other.
            if (ports[i] == ports[j]) {
                return failure(kExitUsage, "Der Port " + shown_name(ports[i]) + " ist mehrfach angegeben.",
                               "Jeden Port nur einmal mit --port nennen.");
            }
            if (same_file(ports[i], ports[j])) {
                return failure(kExitUsage,
                               "Die Ports " + shown_name(ports[j]) + " und " + shown_name(ports[i]) +
                                   " sind derselbe Port.",
                               "Jeden Port nur einmal mit --port nennen.");
            }
            // Each line of a port, and the trace, name it by its short name:
            // two ports of one name would be one port to the reader.
            if (port_short_name(ports[i]) == port_short_name(ports[j])) {
                return failure(kExitUsage,
                               "Die Ports " + shown_name(ports[j]) + " und " + shown_name(ports[i]) +
                                   " hießen in den Zeilen und in der Spur beide \"" +
                                   cp1252_from_utf8(port_short_name(ports[i])) + "\".",
                               "Einen der beiden unter einem Namen nennen, dessen letzter Teil nur er hat (etwa "
                               "über einen symbolischen Verweis).");
            }
        }
    }
    for (const std::string& port : ports) {
        std::unique_ptr<SerialLine> line;
        PortFailure kind;
        const Outcome opened = open_port(port, line, kind);
        if (!opened.ok() && (kind == PortFailure::kBusy || port_failure_is_lasting(kind))) return opened;
    }
    return success();
}

}  // namespace

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
    if (common.ports.size() > 1) {
        const Outcome free = check_ports(common.ports);
        if (!free.ok()) return free;
        start.setup.ports = common.ports;
    }
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
