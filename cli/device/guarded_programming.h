// What "program" does around the programming itself, for one device and in
// a series: the device's own configuration is read first and kept in the
// backup folder before the first block is written, and a device that
// already holds the record it should get is not written at all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/device/device_session.h"
#include "cli/device/programming.h"
#include "cli/output/reporter.h"
#include "fleet/base/programming_words.h"

namespace zav::cli {

struct BackupRules {
    bool keep = true;      // false with --no-backup
    std::string folder;    // where the copies go
    std::string label;     // names the copy (UTF-8): the plan's label, "Geraet-3", "Geraet"
    std::string time;      // when the device's work began (ISO 8601), for the copy's name
    bool always = false;   // --always: write a device even when it holds the record
};

// In a series with a plan: what the device's copy, read before anything is
// written, says about it (another row's record), and so what is done.
enum class CopyVerdict {
    kProgram,      // nothing that changes the work: it is written as planned
    kUnchanged,    // it holds the record it is to have now (the image was set to it): nothing is written
    kDoneAlready,  // another done row's device come again: nothing is done
    kLeave,        // a device only the user can place: nothing is done
};
using JudgeCopy = std::function<CopyVerdict(const uint8_t* copy)>;

struct GuardedResult {
    ProgrammingResult programming;  // outcome, attempts, verify reads, ...
    bool unchanged = false;         // the device held the record: nothing written
    bool erased = false;            // the device's copy failed its check: nothing to keep
    bool done_already = false;      // the copy is another done row's record (kDoneAlready): nothing done
    bool left_alone = false;        // the device is the user's to place (kLeave): nothing done
    std::string backup;             // the copy's file, or ""
    int backup_reads = 0;           // reads of the device's copy (1 without a repeat)
    // The copy could not be stored: no device may be written while that
    // lasts, so a series ends.
    bool backup_failed = false;

    // Transactions tried again for this device, for the log.
    int retries() const;
};

// Programs the record in device.state.image (set up as for
// program_and_verify) into the device just identified: reads the device's
// copy (again while the line spoils it), stores it unless backup.keep is
// false or the device holds none, and then programs and verifies, unless
// the device holds the record already and backup.always is false, or
// judge_copy, when given, says otherwise (then it is neither backed up nor
// written). Only with neither a backup nor a comparison wanted is the
// device not read.
// A single "program" (rules.series false) tells the backup as it is made.
GuardedResult back_up_and_program(DeviceLink& device, const ProgrammingRules& rules, const BackupRules& backup,
                                  const Reporter& reporter, const JudgeCopy& judge_copy = JudgeCopy());

// The device's copy, read as a backup reads it: again while the line
// spoils it (up to retries times). A copy that fails its check bytes twice
// alike, or is all 0xFF, is the device's own: it holds no configuration
// (erased set, exit 4 with the window's message).
Outcome read_device_copy(DeviceLink& device, int retries, const Reporter& reporter, int& reads, bool& erased);

}  // namespace zav::cli
