#include "cli/series/device_report.h"

#include <cstring>

#include "cli/platform/console.h"
#include "cli/series/series_words.h"
#include "core/config/config_image.h"
#include "fleet/base/json_text.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

AuditLine device_audit_line(const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device,
                            const char* command, const std::string& operator_name) {
    AuditLine audit = done.audit;
    audit.time = turn.time;
    audit.command = command;
    audit.port = device.port;
    audit.adapter = device.adapter;
    audit.operator_name = operator_name;
    audit.device_number = turn.number;
    if (device.setup != nullptr) {
        audit.setup.emplace();
        std::memcpy(audit.setup->data(), device.setup, kSetupBlockBytes);
    }
    if (turn.row != nullptr) take_plan_row(audit, *turn.row);
    audit.outcome = done.tally;
    audit.exit_code = done.outcome.exit_code;
    audit.message = done.outcome.message;
    audit.duration_ms = device.duration_ms;
    return audit;
}

void tell_device(const Reporter& reporter, const DeviceDone& done, const DeviceTurn& turn, const DeviceAtHand& device,
                 bool row_done) {
    const Outcome& outcome = done.outcome;
    // A device left for the user is not the row's device: its message
    // says whose record it holds.
    std::string line;
    if (done.tally != DeviceOutcome::kNeedsAttention) {
        line = "Gerät " + std::to_string(turn.number);
        if (turn.row != nullptr) line += " (" + turn.row->label_cp1252 + ")";
        line += ": ";
        if (device.setup != nullptr) line += "V" + version_text(device.setup) + ", ";
    }
    reporter.line(line + outcome.message + done.line_tail);
    if (!done.details.empty()) reporter.block(done.details, "  ");
    if (!outcome.detail.empty()) reporter.block(outcome.detail, "  ");

    nlohmann::json document = {{"event", "device"},
                               {"device", turn.number},
                               {"ok", outcome.ok()},
                               {"exit_code", outcome.exit_code},
                               {"message", json_text(outcome.message)},
                               {"outcome", outcome_name(done.tally)},
                               {"port", json_name(device.port)},
                               {"started", turn.time},
                               {"duration_s", duration_seconds(device.duration_ms)}};
    if (turn.row != nullptr) {
        document["row"] = turn.row->row;
        document["label"] = turn.row->label_utf8;
        document["row_done"] = row_done;
    }
    if (device.setup != nullptr) {
        document["version"] = version_text(device.setup);
        document["setup"] = setup_hex(device.setup);
    }
    if (!outcome.detail.empty()) document["detail"] = json_text(outcome.detail);
    document.update(done.event);
    reporter.document_line(document);
}

void tell_done_already(const Reporter& reporter, const PlanRow& held, const DeviceTurn& turn,
                       const DeviceAtHand& device) {
    const std::string message = "Dieses Gerät hält schon die Konfiguration von " + row_name(held) +
                                ": Es zählt nicht noch einmal und bleibt, wie es ist.";
    reporter.line(message);
    nlohmann::json document = {{"event", "done_already"},
                               {"device", held.device},
                               {"row", held.row},
                               {"label", held.label_utf8},
                               {"message", json_text(message)},
                               {"port", json_name(device.port)},
                               {"started", turn.time}};
    if (device.setup != nullptr) {
        document["version"] = version_text(device.setup);
        document["setup"] = setup_hex(device.setup);
    }
    reporter.document_line(document);
}

void tell_row_open(const Reporter& reporter, const PlanRow& row, const std::string& log) {
    reporter.line(row_name(row) +
                  " bleibt offen: dasselbe Gerät erneut anschließen oder ein anderes für diese Zeile; oder mit "
                  "Strg+C beenden" +
                  (log.empty() ? "." : " und später mit --log " + shown_name(log) + " fortsetzen."));
}

}  // namespace zav::cli
