#include "cli/device/guarded_programming.h"

#include <algorithm>
#include <cstring>

#include "cli/output/backup_store.h"
#include "cli/platform/console.h"
#include "core/config/config_commands.h"
#include "fleet/base/file_names.h"
#include "fleet/record/device_copy.h"

namespace zav::cli {

int GuardedResult::retries() const {
    return std::max(0, backup_reads - 1) + programming.programming_retries + std::max(0, programming.verify_reads - 1);
}

Outcome read_device_copy(DeviceLink& device, int retries, const Reporter& reporter, int& reads, bool& erased) {
    erased = false;
    uint8_t earlier[kDeviceCopyBytes];
    bool have_earlier = false;
    int retries_left = retries;
    for (;;) {
        ++reads;
        const Outcome outcome = read_device_record(device);
        if (outcome.ok() || outcome.exit_code == kExitInterrupted || device.line_lost) return outcome;
        bool again = false;
        if (outcome.kind == OutcomeKind::kNoConfiguration) {
            // What the device holds, or what the line did to it? The second
            // read is part of telling the two apart, so it is made even
            // without retries.
            const uint8_t* copy = device.state.read_back;
            if (judge_unchecked_copy(copy, have_earlier ? earlier : nullptr) == UncheckedCopy::kDevicesOwn) {
                erased = true;
                return outcome;
            }
            again = !have_earlier || retries_left-- > 0;
            std::memcpy(earlier, copy, kDeviceCopyBytes);
            have_earlier = true;
        } else {
            again = outcome.exit_code == kExitLink && retries_left-- > 0;
        }
        if (!again) return outcome;
        reporter.note("Sicherung: " + outcome.message + " Erneut lesen ...");
    }
}

GuardedResult back_up_and_program(DeviceLink& device, const ProgrammingRules& rules, const BackupRules& backup,
                                  const Reporter& reporter, const JudgeCopy& judge_copy) {
    GuardedResult result;
    if (backup.keep || !backup.always || judge_copy) {
        const Outcome read = read_device_copy(device, rules.retries, reporter, result.backup_reads, result.erased);
        if (!read.ok() && !result.erased) {
            // Without the device's copy it is not written: the copy is the
            // way back.
            result.programming.outcome = read;
            result.programming.outcome.detail +=
                (read.detail.empty() ? "" : "\n") +
                std::string(read.exit_code == kExitInterrupted
                                ? "Nicht programmiert: Das Lesen der Konfiguration des Geräts wurde abgebrochen; "
                                  "das Gerät ist unverändert."
                                : kNotProgrammedUnread);
            return result;
        }
        const uint8_t* copy = device.state.read_back;
        CopyVerdict verdict = CopyVerdict::kProgram;
        if (read.ok() && !backup.always && std::memcmp(copy, device.state.image.bytes, kRecordBytes) == 0) {
            verdict = CopyVerdict::kUnchanged;
        } else if (read.ok() && judge_copy) {
            verdict = judge_copy(copy);
        }
        switch (verdict) {
            case CopyVerdict::kUnchanged:
                result.unchanged = true;
                result.programming.outcome = success(kUnchangedMessage);
                result.programming.verified = true;
                return result;
            case CopyVerdict::kDoneAlready: result.done_already = true; return result;
            case CopyVerdict::kLeave: result.left_alone = true; return result;
            case CopyVerdict::kProgram: break;
        }
        if (result.erased) {
            if (!rules.series) reporter.line(kNoBackupPrefix + std::string(kNoConfiguration));
        } else if (backup.keep) {
            const Outcome stored = store_configuration(backup.folder, backup_file_name(backup.time, backup.label, copy),
                                                       copy, result.backup);
            if (!stored.ok()) {
                result.backup_failed = true;
                result.programming.outcome = failure(stored.exit_code, "Sicherung nicht möglich: " + stored.message,
                                                     stored.detail + "\nNicht programmiert: Ohne Sicherung wird kein "
                                                                     "Gerät beschrieben (--no-backup: ohne).");
                return result;
            }
            if (!rules.series) reporter.line(kBackupKeptPrefix + shown_name(result.backup));
        }
    }
    result.programming = program_and_verify(device, rules, reporter);
    return result;
}

}  // namespace zav::cli
