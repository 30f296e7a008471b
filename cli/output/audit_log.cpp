#include "cli/output/audit_log.h"

#include "cli/output/whole_file.h"
#include "cli/platform/console.h"
#include "cli/platform/durable_append.h"
#include "cli/platform/output_path.h"
#include "cli/platform/port_list.h"
#include "cli/platform/user_folders.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

namespace {

Outcome log_failure(const std::string& path, const std::string& why) {
    return failure(kExitFile, "Protokoll kann nicht geschrieben werden", shown_name(path) + ": " + why);
}

// A device's line that did not reach the log, or not for sure: which
// device, and what the log holds now.
Outcome not_logged(const std::string& path, const std::string& why, const AuditLine& line, AppendResult result,
                   bool whole) {
    std::string device = "Das Gerät";
    if (line.device_number) {
        device = "Gerät " + std::to_string(*line.device_number);
        if (!line.plan_label.empty()) device += " (" + cp1252_from_utf8(line.plan_label) + ")";
    }
    if (whole) {
        return failure(kExitFile, "Protokoll nicht bestätigt",
                       shown_name(path) + ": " + why + ".\n" + device +
                           " steht ganz im Protokoll und gilt als protokolliert; dass die Zeile sicher auf dem "
                           "Datenträger ist, bestätigt das System nicht.");
    }
    Outcome outcome = log_failure(path, why);
    outcome.detail += ".\n" + device + " ist nicht protokolliert; ";
    outcome.detail += result == AppendResult::kNotWritten
                          ? std::string("das Protokoll ist, wie es war.")
                          : std::string("ein Teil seiner Zeile ließ sich nicht entfernen (report und eine "
                                        "fortgesetzte Serie übergehen ihn mit einer Warnung).");
    return outcome;
}

}  // namespace

std::string adapter_name(const std::string& port) {
    for (const PortInfo& info : list_serial_ports()) {
        if (info.name == port || (!info.stable_name.empty() && info.stable_name == port)) return info.description;
    }
    return std::string();
}

bool holds_whole_line(AppendResult result, size_t part_left, size_t bytes) {
    return result == AppendResult::kWritten || result == AppendResult::kUnconfirmed ||
           (result == AppendResult::kPartLeft && part_left + 1 >= bytes);
}

std::string operator_of(const std::string& option) { return option.empty() ? login_name() : option; }

Outcome AuditLog::open(const std::string& path) {
    OutputPathFacts facts;
    std::string error;
    if (!examine_output_path(path, facts, error)) return log_failure(path, error);
    switch (facts.kind) {
        case PathKind::kFolder: return log_failure(path, "ist ein Ordner");
        case PathKind::kOther: return log_failure(path, "ist " + facts.other_kind + ", keine gewöhnliche Datei");
        case PathKind::kRegularFile: {
            const Outcome read = read_whole_file(path, earlier_);
            if (!read.ok()) return failure(kExitFile, "Protokoll kann nicht gelesen werden", read.detail);
            break;
        }
        case PathKind::kNothing:
            if (!facts.folder_problem.empty()) return log_failure(path, facts.folder_problem);
            break;
    }
    // Made (or touched) now: a log that cannot be written stops the command
    // before any device is.
    if (append_durably(path, std::string(), error) != AppendResult::kWritten) return log_failure(path, error);
    path_ = path;
    needs_line_end_ = !earlier_.empty() && earlier_.back() != '\n';
    return success();
}

Outcome AuditLog::append(const AuditLine& line, bool* whole) {
    // Without a log there is nothing to hold the line: nothing is missing.
    if (whole != nullptr) *whole = !active();
    if (!active()) return success();
    // Names from the command line become JSON's UTF-8 here, as every
    // document of the tool writes them.
    AuditLine logged = line;
    for (std::string* name : {&logged.port, &logged.operator_name, &logged.file, &logged.backup}) {
        *name = json_name(*name);
    }
    const Held held(lock_);
    std::string text = needs_line_end_ ? "\n" : "";
    text += audit_line_json(logged).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::string error;
    size_t part_left = 0;
    const AppendResult result = append_durably(path_, text, error, &part_left);
    const bool line_whole = holds_whole_line(result, part_left, text.size());
    if (whole != nullptr) *whole = line_whole;
    if (result == AppendResult::kWritten) {
        needs_line_end_ = false;
        return success();
    }
    // A part left behind is a line without its end: the next line must not
    // continue it.
    if (result == AppendResult::kPartLeft) needs_line_end_ = true;
    if (result == AppendResult::kUnconfirmed) needs_line_end_ = false;
    return not_logged(path_, error, line, result, line_whole);
}

}  // namespace zav::cli
