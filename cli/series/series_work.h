// What a series hands to its work (program, verify, read) and gets back:
// a device's turn, and what the work did with the device; what the work
// tells the series about itself (its log word, its summary, which tallies
// do a row), and how the series is set up. series.h runs a series.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/device/device_session.h"
#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "cli/series/series_rows.h"
#include "fleet/base/outcome.h"
#include "fleet/log/device_outcome.h"
#include "fleet/log/logged_rows.h"
#include "fleet/plan/plan_reader.h"

namespace zav::cli {

// A device's turn, as the series gives it to the work.
struct DeviceTurn {
    int number = 0;               // "Gerät N": the plan's row (1 for the first device), else counted
    const PlanRow* row = nullptr;  // the plan's row for it, or none
    std::string label;            // for file names (UTF-8): the row's label, else "Geraet-N"
    std::string time;             // when the work on it began, ISO 8601 with offset
    SeriesRows* rows = nullptr;   // the plan's rows, or none
    // Where the work tells what it does on the way (a retry): the port's,
    // which names the port when there are several.
    const Reporter* reporter = nullptr;

    // What the record held says about the device (SeriesRows::recognise).
    // With kOpenRow the turn is that row's from now on.
    Recognition recognise(const uint8_t* held, bool may_take_open) {
        if (rows == nullptr) return Recognition();
        const Recognition recognised = rows->recognise(held, row, may_take_open);
        if (recognised.kind == Recognition::kOpenRow) {
            row = recognised.row;
            number = static_cast<int>(row->device);
            label = row->label_utf8;
        }
        return recognised;
    }
};

// What the work did with a device.
struct DeviceDone {
    Outcome outcome;  // told on the device's line, and why it failed
    DeviceOutcome tally = DeviceOutcome::kFailed;  // what the summary counts and the log says
    std::string line_tail;  // after the message on its line: " (nach 1 Wiederholung)"
    std::string details;    // lines told under it (one per '\n'), indented by the series
    nlohmann::json event;   // the work's keys for the JSON line "device"
    AuditLine audit;        // the work's part of the log line: file, record, backup, differences, retries
    bool ends_series = false;  // a failure the next device would meet too (a backup folder that fails)
    // The device holds the record of this done row, and was left as it is:
    // that row's device come again, neither logged nor counted as a device
    // of its own; or, with the tally kNeedsAttention, a device that cannot
    // be told from that row's own, logged and counted as such.
    const PlanRow* holds_done_row = nullptr;
    // For the row's next device (RowReturn): every block of the record went
    // to it, unverified; or it held the record when it came.
    bool record_left_unverified = false;
    bool held_before = false;
    // Its last look found nobody: the first of the looks that find it gone.
    bool went_silent = false;
};

// How the summary counts one tally: "4 programmiert", and the devices
// named when names_devices ("1 fehlgeschlagen (Gerät 3)"); in JSON under
// the outcome's name ("programmed": 4).
struct SummaryPart {
    DeviceOutcome tally;
    const char* words;       // "programmiert"
    bool always;             // told also when none
    const char* json_devices_key;  // the numbers' key, or nullptr when the devices are not named
};

class SeriesWork {
public:
    virtual ~SeriesWork() = default;
    // The log's word for it: "program", "verify", "read".
    virtual const char* command() const = 0;
    // Whether all devices must be of one type (the five bytes of the setup
    // block), from --setup or the first device.
    virtual bool needs_one_type() const = 0;
    // The type is known: get ready for it, before any device is worked on.
    // A failure ends the series.
    virtual Outcome take_type(const uint8_t* setup) = 0;
    // An accepted device of the series' type: do the work.
    // The turn's row may change on the way (DeviceTurn::recognise).
    virtual DeviceDone work(DeviceLink& device, const Identification& found, DeviceTurn& turn) = 0;
    // A device the series refuses before the work (no ZAV 160, a version
    // the program refuses, another type): the work's keys for its line.
    virtual DeviceDone refused(const DeviceTurn& turn, const Outcome& outcome) = 0;
    // What the summary counts, in its order.
    virtual std::vector<SummaryPart> summary_parts() const = 0;
    // Whether a device with this tally has done its row of the plan.
    virtual bool row_done_by(DeviceOutcome tally) const = 0;
    // Whether a device with this tally was found holding its row's record
    // (row_record), so that it is known again by it.
    virtual bool row_record_held_by(DeviceOutcome) const { return false; }
    // The record a row gives (nullptr: the template's), once take_type
    // passed; nullptr for a work that gives none.
    virtual const uint8_t* row_record(const PlanRow*) const { return nullptr; }
    // Whether the series, started again with the same log, goes on after
    // the rows the log shows done.
    virtual bool continues_from_log() const { return false; }
};

struct SeriesSetup {
    std::string port;                   // as given: the first port
    std::vector<std::string> ports;     // all of them, when there are several
    const Plan* plan = nullptr;         // the order and labels of the devices, or none
    std::string plan_path;
    LoggedRows logged;                  // what the log shows of the plan's rows already
    const uint8_t* given_type = nullptr;  // --setup, or nullptr
    AuditLog* log = nullptr;            // where each device's line goes
    std::string operator_name;          // as given or the login name
};

}  // namespace zav::cli
