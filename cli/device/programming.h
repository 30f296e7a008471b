// Programming one identified device so that a technician can trust it: the
// record is written whole or the device is said to hold none, a failure of
// the line or of a block is tried again, a verify read that the line spoiled
// is read again, and Ctrl+C waits for the safe point. "program" and the
// series both go this way.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/device/device_session.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

struct ProgrammingRules {
    // How often a failed programming, or a verify read the line spoiled, is
    // tried again (--retries; 0: never).
    int retries = 0;
    // The setup block the device must report, all five bytes (the window's
    // type check); a retry identifies the device again and checks it.
    uint8_t type[kSetupBlockBytes] = {};
    // A series finishes the device at hand on the first Ctrl+C, its retries
    // and its verify included; a single "program" finishes only the record
    // and stops before the verify read, and tells each step as it goes.
    bool series = false;
};

struct ProgrammingResult {
    Outcome outcome;            // how it ended, as it is told
    bool programmed = false;    // the whole record is in the device
    // The last block went out in some attempt: the device may hold the
    // whole record, even where the programming was not confirmed.
    bool last_block_sent = false;
    bool verified = false;      // a verify read compared the whole record, equal
    int attempts = 0;           // programmings started
    // Programmings tried again, each told ("Neuer Versuch 1 von 2"), also
    // one that ended at its identification and so started no programming.
    int programming_retries = 0;
    // The first failure, where the device was tried again and ended with
    // another (a line lost in the middle, then no device found): its
    // message is told under the last one and logged beside it. Empty when
    // there was one cause.
    std::string first_failure;
    // A retry's look found nobody at all: the device was taken for
    // unplugged, and the retries left were not made.
    bool went_silent = false;
    int verify_reads = 0;       // verify reads started
    int first_difference = -1;  // the verify's first differing address

    // Every block went to the device, but no read compared them after:
    // the device may hold the record, unverified.
    bool written_unverified() const {
        return (programmed || last_block_sent) && !verified && outcome.exit_code != kExitDiffers;
    }
};

// Programs the record in device.state.image into the device just
// identified as rules.type, then verifies it.
ProgrammingResult program_and_verify(DeviceLink& device, const ProgrammingRules& rules, const Reporter& reporter);

// The verify read, read again (up to retries times) while the line spoils
// it: no answer, a lost connection, or a copy that fails its check bytes.
// first_failure, when given and empty: the message of the first read that
// failed.
Outcome verify_reading_again(DeviceLink& device, int retries, const Reporter& reporter, int& first_difference,
                             int& reads, std::string* first_failure = nullptr);

// "Typ-Konflikt,Programmierung nicht möglich !", naming both setup blocks.
Outcome type_conflict(const uint8_t* expected, const uint8_t* found);

// What names a programming or verify in a report: the file, the SHA-256 of
// the 108 record bytes the device was given or compared with, the port,
// when it started and how long it took.
struct RecordStamp {
    std::string file;
    std::string port;
    std::string started;  // ISO 8601 with the offset from UTC
    uint32_t started_ms;  // on the monotonic clock, for the duration
};
RecordStamp stamp_now(const std::string& file, const std::string& port);
nlohmann::json stamp_json(const RecordStamp& stamp, const uint8_t* record);

}  // namespace zav::cli
