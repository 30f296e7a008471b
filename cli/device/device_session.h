// The tool's dealings with one connected device: the transactions of the
// windowed program, each judged as the program judges it and told in its
// words. The commands string these together.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/device/transaction_runner.h"
#include "cli/output/progress.h"
#include "fleet/base/outcome.h"
#include "fleet/base/programming_words.h"

namespace zav::cli {

struct DeviceLink {
    DeviceLink(SerialLine& line_in, Clock& clock_in, ProgressBar& progress_in)
        : line(line_in), clock(clock_in), progress(progress_in) {
        reset_link_state(state);
    }

    SerialLine& line;
    Clock& clock;
    ProgressBar& progress;
    // The image holds the setup block of the last identification and the
    // record to program or to verify against; a read lands in read_back.
    LinkState state;
    // Set once a transaction found the line gone: the port must be opened
    // anew before it can be used again.
    bool line_lost = false;
};

// What the last identification found.
struct Identification {
    uint8_t setup[kSetupBlockBytes];
    bool valid;     // the check byte fits the setup word
    bool accepted;  // valid, and software version 2.x or 4.x
    bool answered;  // something answered, even if wrongly: a device is there
};

// The identification ('+'). "ZAV 160 erkannt" only for an accepted device;
// "Kein ZAV 160 gefunden !" (exit 3) without an answer; "Setup-Daten
// ungültig !" or the version message (exit 4) for a device the program
// refuses, with what it sent in identification all the same. With
// give_up_unanswered_sends the look ends early when nothing answers at all,
// and on_unanswered is called when the first send went unanswered (see
// RunOptions).
Outcome identify_device(DeviceLink& device, Identification& found, uint32_t give_up_unanswered_sends = 0,
                        const std::function<void()>& on_unanswered = {});

// The configuration read ('-') with the device-copy check of "Lesen"; the
// copy stays in state.read_back.
Outcome read_device_record(DeviceLink& device);

// The programming ('.') of the record in state.image. Like the window it
// undoes nothing: the blocks sent stay in the device (program_and_verify
// says what that means for the device). last_block_sent, when given: every
// block before the last was confirmed, so that the device may hold the
// whole record even when the programming did not end well.
Outcome program_device_record(DeviceLink& device, bool* last_block_sent = nullptr);

// A read compared with the record in state.image, as "Verifizieren"
// compares: "Verifikation OK !" or "Fehler ab Adresse: N" (exit 5, with
// first_difference set to N; -1 when equal).
Outcome verify_device_record(DeviceLink& device, int& first_difference);

}  // namespace zav::cli
