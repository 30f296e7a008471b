#include "cli/device/programming.h"

#include <cstring>

#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/platform/serial_port.h"
#include "core/config/config_commands.h"
#include "core/link/link_messages.h"
#include "core/setup/setup_block.h"
#include "fleet/base/sha256.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

namespace {

constexpr const char kWritingNotice[] =
    "Die Konfiguration wird noch zu Ende geschrieben; Strg+C erneut bricht sofort ab.";

constexpr const char kFirstFailure[] = "Zuerst: ";

constexpr uint32_t kRetryLookSends = 2;
constexpr const char kNoAnswerNotice[] =
    "Das Gerät antwortet nicht; noch 1,5 s warten, ob es wieder antwortet, sonst gilt es als abgeklemmt ...";
constexpr const char kSilentDetail[] = "Das Gerät antwortet nicht mehr (abgeklemmt?): kein weiterer Versuch.";

constexpr const char kWrittenNotVerified[] = "Die Konfiguration ist vollständig geschrieben, aber nicht verifiziert.";

std::string attempt_text(int retry, int retries) {
    return "Neuer Versuch " + std::to_string(retry) + " von " + std::to_string(retries) + " ...";
}

// A single "program": the first Ctrl+C during the block writes lets the
// record be finished, since a record cut off leaves the device with none;
// before and after them it stops at once.
Outcome write_record(DeviceLink& device, const ProgrammingRules& rules, const Reporter& reporter,
                     bool& last_block_sent) {
    bool sent = false;
    if (rules.series) {
        const Outcome outcome = program_device_record(device, &sent);
        last_block_sent = last_block_sent || sent;
        return outcome;
    }
    set_first_interrupt_notice(reporter.quiet() ? "" : kWritingNotice);
    set_interrupt_stops_at_once(false);
    Outcome outcome = program_device_record(device, &sent);
    last_block_sent = last_block_sent || sent;
    set_interrupt_stops_at_once(true);
    set_first_interrupt_notice("");
    return outcome;
}

// The identification a retry starts with, as "Programmieren" does: the
// device must still be of the type; the image keeps the type either way.
// The look a retry starts with is ours, not the window's five sends: two,
// as a series looks whether its device is still there, so that one lost
// frame cannot make it look silent. A device that answers neither is
// taken for unplugged (silent), and is not tried again: the retries left
// would only wait in vain. The user hears at once what is waited for.
Outcome identify_again(DeviceLink& device, const ProgrammingRules& rules, const Reporter& reporter, bool& conflict,
                       bool& silent) {
    Identification again;
    Outcome outcome = identify_device(device, again, kRetryLookSends, [&reporter] { reporter.note(kNoAnswerNotice); });
    std::memcpy(device.state.image.bytes + kSetupBlock, rules.type, kSetupBlockBytes);
    conflict = outcome.ok() && !setup_blocks_same_type(rules.type, again.setup);
    silent = !again.answered && !device.line_lost && outcome.exit_code == kExitLink;
    if (silent) outcome.detail = kSilentDetail;
    return conflict ? type_conflict(rules.type, again.setup) : outcome;
}

// Whether another attempt may mend the failure: not when the port itself
// has vanished, when the user stopped, or when the device is of another
// type; a line or a block that failed, an answer spoiled on the way, may.
bool retry_may_mend(const Outcome& outcome, const DeviceLink& device, bool conflict) {
    if (device.line_lost || conflict) return false;
    return outcome.exit_code == kExitLink || outcome.exit_code == kExitRefused;
}

void add_detail(Outcome& outcome, const std::string& line) {
    if (outcome.detail.find(line) != std::string::npos) return;
    outcome.detail += (outcome.detail.empty() ? "" : "\n") + line;
}

// The first cause told under the last, and kept for the log, where they
// differ.
void keep_first_failure(ProgrammingResult& result, const std::string& first, Outcome& last) {
    if (first.empty() || last.ok() || first == last.message) return;
    result.first_failure = first;
    add_detail(last, std::string(kFirstFailure) + first);
}

}  // namespace

Outcome type_conflict(const uint8_t* expected, const uint8_t* found) {
    return failure(kExitRefused, kTypeConflict,
                   "Erwartet Setup " + setup_hex(expected) + " (V" + version_text(expected) + "), gefunden " +
                       setup_hex(found) + " (V" + version_text(found) + ").");
}

ProgrammingResult program_and_verify(DeviceLink& device, const ProgrammingRules& rules, const Reporter& reporter) {
    ProgrammingResult result;
    Outcome last;
    std::string first;  // the first failure's message
    for (int attempt = 0;; ++attempt) {
        bool conflict = false;
        bool silent = false;
        last = attempt == 0 ? success() : identify_again(device, rules, reporter, conflict, silent);
        if (silent) {
            result.went_silent = true;
            break;
        }
        if (last.ok()) {
            // A single "program" asked to stop before the writes begin
            // stops with nothing written.
            if (!rules.series && interrupt_count() > 0) {
                last = failure(kExitInterrupted, "Abgebrochen.");
                break;
            }
            ++result.attempts;
            last = write_record(device, rules, reporter, result.last_block_sent);
            if (last.ok()) {
                result.programmed = true;
                break;
            }
        }
        if (first.empty()) first = last.message;
        const bool stop_wanted = !rules.series && interrupt_count() > 0;
        if (attempt >= rules.retries || stop_wanted || !retry_may_mend(last, device, conflict)) break;
        ++result.programming_retries;
        reporter.note("Programmieren: " + last.message + " " + attempt_text(attempt + 1, rules.retries));
    }
    if (!result.programmed) {
        // Whatever ended it, a record begun and not finished leaves the
        // device with none.
        keep_first_failure(result, first, last);
        if (result.attempts > 0) add_detail(last, kNoValidConfiguration);
        result.outcome = last;
        return result;
    }

    if (!rules.series) {
        reporter.line(last.message);
        if (interrupt_count() > 0) {
            result.outcome = failure(kExitInterrupted, "Abgebrochen vor der Verifikation.", kWrittenNotVerified);
            return result;
        }
    }
    std::string first_read;
    result.outcome =
        verify_reading_again(device, rules.retries, reporter, result.first_difference, result.verify_reads, &first_read);
    result.verified = result.outcome.ok();
    keep_first_failure(result, first.empty() ? first_read : first, result.outcome);
    if (result.outcome.exit_code == kExitInterrupted) add_detail(result.outcome, kWrittenNotVerified);
    return result;
}

Outcome verify_reading_again(DeviceLink& device, int retries, const Reporter& reporter, int& first_difference,
                             int& reads, std::string* first_failure) {
    for (int read = 0;; ++read) {
        ++reads;
        const Outcome outcome = verify_device_record(device, first_difference);
        if (first_failure != nullptr && first_failure->empty() && !outcome.ok()) *first_failure = outcome.message;
        // A copy whose check bytes do not fit, read from a device whose
        // record was written a moment ago, was spoiled on the line.
        const bool spoiled = outcome.exit_code == kExitLink || outcome.kind == OutcomeKind::kNoConfiguration;
        if (!spoiled || device.line_lost || read >= retries) return outcome;
        reporter.note("Rücklesung: " + outcome.message + " " + attempt_text(read + 1, retries));
    }
}

RecordStamp stamp_now(const std::string& file, const std::string& port) {
    return RecordStamp{file, port, local_time_now_iso8601(), system_clock().now_ms()};
}

nlohmann::json stamp_json(const RecordStamp& stamp, const uint8_t* record) {
    const uint32_t elapsed_ms = system_clock().now_ms() - stamp.started_ms;
    return {{"file", json_text(shown_name(stamp.file))},
            {"sha256", sha256_hex(record, kRecordBytes)},
            {"port", json_text(shown_name(stamp.port))},
            {"started", stamp.started},
            {"duration_s", duration_seconds(elapsed_ms)}};
}

}  // namespace zav::cli
