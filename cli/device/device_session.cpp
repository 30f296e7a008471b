#include "cli/device/device_session.h"

#include <cstdio>
#include <cstring>

#include "core/config/config_commands.h"
#include "core/link/link_messages.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"

namespace zav::cli {

namespace {

constexpr const char kLineGoneDetail[] = "Die Leitung ist weg (Adapter abgezogen oder Gerät ausgeschaltet?).";
constexpr const char kInterruptedMessage[] = "Abgebrochen.";

struct Phase {
    const char* label;  // nullptr: no bar
    int total;
};

RunOutcome run(DeviceLink& device, CommandRecord command, Phase phase, uint32_t give_up_unanswered_sends = 0,
               int* last_progress = nullptr, const std::function<void()>& on_unanswered = {}) {
    RunOptions options;
    options.give_up_unanswered_sends = give_up_unanswered_sends;
    options.on_unanswered = on_unanswered;
    if (phase.label != nullptr) {
        device.progress.start(phase.label, phase.total);
        options.on_progress = [&device, last_progress](uint32_t block) {
            device.progress.update(static_cast<int>(block));
            if (last_progress != nullptr) *last_progress = static_cast<int>(block);
        };
    }
    const RunOutcome outcome = run_transaction(device.line, device.clock, device.state, command, options);
    if (phase.label != nullptr) device.progress.clear();
    if (outcome.end == RunEnd::kLineGone) device.line_lost = true;
    return outcome;
}

// A run that did not end by itself, told as such; kFinished gives success
// so that the caller judges the result code.
Outcome stopped(const RunOutcome& outcome, const char* unanswered_message) {
    switch (outcome.end) {
        case RunEnd::kFinished: return success();
        case RunEnd::kUnanswered: return failure(kExitLink, unanswered_message);
        case RunEnd::kLineGone: return failure(kExitLink, kConnectionLost, kLineGoneDetail);
        case RunEnd::kInterrupted: return failure(kExitInterrupted, kInterruptedMessage);
    }
    return failure(kExitLink, kConnectionLost);
}

}  // namespace

Outcome identify_device(DeviceLink& device, Identification& found, uint32_t give_up_unanswered_sends,
                        const std::function<void()>& on_unanswered) {
    std::memset(&found, 0, sizeof found);
    const RunOutcome run_outcome =
        run(device, {kIdentifyCommand, 0}, {nullptr, 0}, give_up_unanswered_sends, nullptr, on_unanswered);
    found.answered = run_outcome.heard;
    Outcome outcome = stopped(run_outcome, kNoDeviceFound);
    if (!outcome.ok()) return outcome;

    const ConfigImage& image = device.state.image;
    std::memcpy(found.setup, image.bytes + kSetupBlock, kSetupBlockBytes);
    switch (judge_connect(run_outcome.result, image)) {
        case ConnectOutcome::kRecognised:
            found.valid = found.accepted = true;
            return success(kDeviceRecognised);
        case ConnectOutcome::kSetupInvalid:
            return failure(kExitRefused, kSetupDataInvalid);
        case ConnectOutcome::kVersionRejected: {
            found.valid = true;
            char text[kVersionMessageBytes];
            format_version_rejected(image, text, sizeof text);
            return failure(kExitRefused, text);
        }
        case ConnectOutcome::kNotFound:
        case ConnectOutcome::kNothing:
            break;
    }
    return failure(kExitLink, kNoDeviceFound);
}

namespace {

// A finished configuration transaction, as the window judges it, with the
// exit code that stands for its verdict.
Outcome judged(uint32_t result, bool verify, DeviceLink& device, int& first_difference) {
    const ConfigVerdict verdict = judge_config_end(result, verify, device.state.image, device.state.read_back);
    first_difference = verdict.first_difference;
    char text[kConfigEndTextBytes];
    format_config_end(verdict, text, sizeof text);
    switch (verdict.end) {
        case ConfigEnd::kProgrammed:
        case ConfigEnd::kRead:
        case ConfigEnd::kVerifyOk:
            return success(text);
        case ConfigEnd::kUpdateRefused: return failure(kExitRefused, text);
        case ConfigEnd::kNoConfiguration: {
            Outcome outcome = failure(kExitRefused, text);
            outcome.kind = OutcomeKind::kNoConfiguration;
            return outcome;
        }
        case ConfigEnd::kVerifyDiffers: return failure(kExitDiffers, text);
        case ConfigEnd::kConnectionLost:
        case ConfigEnd::kIdentified:
        case ConfigEnd::kNothing:
            break;
    }
    // A result code that does not belong to the transaction asked for is a
    // line that did not carry it.
    return failure(kExitLink, kConnectionLost);
}

}  // namespace

Outcome read_device_record(DeviceLink& device) {
    const RunOutcome run_outcome = run(device, {kReadCommand, kReadBlockLength}, {"Lesen", kReadProgressEnd});
    Outcome outcome = stopped(run_outcome, kConnectionLost);
    if (!outcome.ok()) return outcome;
    int first_difference = -1;
    return judged(run_outcome.result == kResultRead ? kResultRead : kResultFailed, false, device, first_difference);
}

Outcome program_device_record(DeviceLink& device, bool* last_block_sent) {
    int last_progress = 0;
    const RunOutcome run_outcome = run(device, {kProgramCommand, kProgramBlockLength},
                                       {"Programmieren", kProgramProgressEnd}, 0, &last_progress);
    // The last progress comes once every ordinary block is confirmed; the
    // last block goes out next, and whether the device took it is not
    // always heard.
    if (last_block_sent != nullptr) *last_block_sent = last_progress >= kProgramProgressEnd;
    Outcome outcome = stopped(run_outcome, kConnectionLost);
    if (outcome.ok()) {
        const bool belongs = run_outcome.result == kResultWritten || run_outcome.result == kResultRefused;
        int first_difference = -1;
        outcome = judged(belongs ? run_outcome.result : kResultFailed, false, device, first_difference);
    }
    return outcome;
}

Outcome verify_device_record(DeviceLink& device, int& first_difference) {
    first_difference = -1;
    const RunOutcome run_outcome = run(device, {kReadCommand, kReadBlockLength}, {"Verifizieren", kReadProgressEnd});
    Outcome outcome = stopped(run_outcome, kConnectionLost);
    if (!outcome.ok()) return outcome;
    return judged(run_outcome.result == kResultRead ? kResultRead : kResultFailed, true, device, first_difference);
}

}  // namespace zav::cli
