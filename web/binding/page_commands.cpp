#include "web/binding/page_commands.h"

#include <algorithm>
#include <cstring>

#include "core/config/config_commands.h"
#include "core/config/config_file.h"
#include "core/info/info_text.h"
#include "core/link/link_messages.h"
#include "core/setup/connect_outcome.h"
#include "core/setup/setup_block.h"
#include "core/setup/setup_commands.h"
#include "fleet/base/file_names.h"
#include "fleet/base/programming_words.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/device_copy.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"
#include "fleet/text/config_text.h"
#include "fleet/text/configuration_source.h"

namespace zav::web {

namespace {

constexpr const char kCancelled[] = "Abgebrochen.";
// A setup block frame that went out before the stop may or may not have
// been taken: the setup window's "Lesen" tells.
constexpr const char kSetupWriteOpen[] =
    "Ob das Gerät den Setup-Block übernommen hat, ist offen: mit \"Lesen\" prüfen.";
// The name zavctl gives a device's backup when no plan names it.
constexpr const char kBackupLabel[] = "Geraet";

PageStep message_step(Caption caption, bool error, std::string text) {
    PageStep step;
    step.caption = caption;
    step.error = error;
    step.message = std::move(text);
    return step;
}

SetupFitting fitting_of(const ConfigImage& image) {
    return SetupFitting{image.bytes[kSetupByte1], image.bytes[kSetupByte2]};
}

}  // namespace

PageCommands::PageCommands() {
    std::memset(&shared_, 0, sizeof shared_);
    clear_config_window_state(window_);
    open_configuration();
}

PageStep PageCommands::start(Phase phase, uint8_t command, uint8_t block_length, int progress_end) {
    phase_ = phase;
    PageStep step;
    step.transaction = true;
    step.command = command;
    step.block_length = block_length;
    step.progress_end = progress_end;
    return step;
}

// ---- The main window ---------------------------------------------------------

PageStep PageCommands::connect() {
    shared_.device_data_valid = 0;
    PageStep step = start(Phase::kConnect, kIdentifyCommand, 0, 0);
    step.device_data_valid = 0;
    return step;
}

PageStep PageCommands::connect_ended(uint32_t result) {
    PageStep step;
    switch (judge_connect(result, image())) {
        case ConnectOutcome::kNothing: return step;
        case ConnectOutcome::kNotFound: return message_step(Caption::kConnect, true, kNoDeviceFound);
        case ConnectOutcome::kSetupInvalid: return message_step(Caption::kConnect, true, kSetupDataInvalid);
        case ConnectOutcome::kVersionRejected: {
            char text[kVersionMessageBytes];
            format_version_rejected(image(), text, sizeof text);
            return message_step(Caption::kConnect, true, text);
        }
        case ConnectOutcome::kRecognised:
            step = message_step(Caption::kConnect, false, kDeviceRecognised);
            shared_.device_data_valid = 1;
            step.device_data_valid = 1;
            return step;
    }
    return step;
}

std::vector<std::string> PageCommands::info_lines() const {
    InfoText text;
    build_info_text(const_cast<PageLink&>(link_).image(), text);
    return std::vector<std::string>(text.lines, text.lines + text.line_count);
}

// ---- The configuration window ------------------------------------------------

void PageCommands::open_configuration() {
    set_up_config_window_state(window_, image().bytes[kSetupByte1], image().bytes[kSetupByte2]);
    form_at_creation(window_, form_);
}

uint32_t PageCommands::field_changed(int control_id) {
    switch (control_id) {
        case kIdAlarmSelector: return on_alarm_selector_changed(form_, window_, shared_);
        case kIdNumber: return on_number_changed(form_, window_, shared_);
        case kIdRelaySelector: return on_relay_selector_changed(form_, window_, shared_);
        case kIdRelayFiveTone: return on_relay_five_tone_changed(form_, window_, shared_);
        case kIdFiveToneCount: return on_five_tone_count_changed(form_, window_, shared_);
        default: return 0;
    }
}

PageStep PageCommands::field_error(int code) const {
    return message_step(Caption::kConfigurationForm, true, config_error_text(code));
}

// The record in the image is shown in the fields; the page's boxes are
// modal, so nothing is typed between the fields' update and the message.
PageStep PageCommands::show_record(const char* message) {
    image_to_form(image(), window_, form_, shared_);
    reset_remembered_positions(window_);
    shared_.updating = 0;
    PageStep step = message_step(Caption::kConfiguration, false, message);
    step.show_form = true;
    return step;
}

PageStep PageCommands::read_configuration() { return start(Phase::kRead, kReadCommand, kReadBlockLength, kReadProgressEnd); }

PageStep PageCommands::verify_configuration() {
    const int code = form_to_image(form_, window_, image());
    if (code != 0) return field_error(code);
    return start(Phase::kVerify, kReadCommand, kReadBlockLength, kReadProgressEnd);
}

PageStep PageCommands::program_configuration() {
    const int code = form_to_image(form_, window_, image());
    if (code != 0) return field_error(code);
    std::memcpy(kept_setup_block_, &image().bytes[kSetupBlock], kSetupBlockBytes);
    notes_.clear();
    earlier_copy_.clear();
    return start(Phase::kProgramIdentify, kIdentifyCommand, kReadBlockLength, kProgramProgressEnd);
}

PageStep PageCommands::configuration_ended(uint32_t result, bool verify) {
    const ConfigVerdict verdict = judge_config_end(result, verify, image(), link_.read_back());
    if (verdict.end == ConfigEnd::kNothing) return PageStep();
    if (verdict.end == ConfigEnd::kRead) {
        std::memcpy(image().bytes, link_.read_back(), kRecordBytes);
        return show_record(kConfigurationRead);
    }
    char text[kConfigEndTextBytes];
    format_config_end(verdict, text, sizeof text);
    PageStep step = message_step(Caption::kConfiguration, !config_end_is_success(verdict.end), text);
    if (verdict.end == ConfigEnd::kVerifyDiffers) {
        // What differs, field by field, as zavctl's verify says it.
        const RecordDifferences differences = compare_records(image().bytes, link_.read_back(),
                                                              image().bytes[kSetupByte1], image().bytes[kSetupByte2]);
        const std::string report = differences_report(differences);
        if (!report.empty()) step.details.push_back(report);
    }
    return step;
}

// As the window: the image keeps the block the record was edited for,
// whatever the device said; a device of another type gets nothing.
PageStep PageCommands::identified_for_programming(uint32_t result) {
    if (result != kResultIdentified) return configuration_ended(result, false);
    uint8_t* block = &image().bytes[kSetupBlock];
    const bool same_type = setup_blocks_same_type(block, kept_setup_block_);
    std::memcpy(block, kept_setup_block_, kSetupBlockBytes);
    if (!same_type) return message_step(Caption::kConfiguration, true, kTypeConflict);
    return start(Phase::kBackupRead, kReadCommand, kReadBlockLength, kReadProgressEnd);
}

// The device's own copy, read before the write: kept as a download, or the
// reason why not; a device that holds the record already is not written.
PageStep PageCommands::device_copy_read(uint32_t result) {
    const uint8_t* copy = link_.read_back();
    if (result != kResultRead) {
        PageStep step = configuration_ended(result, false);
        step.details.push_back(kNotProgrammedUnread);
        return step;
    }
    if (device_copy_valid(copy)) {
        if (first_differing_byte(image(), copy) < 0) {
            PageStep step = message_step(Caption::kConfiguration, false, kUnchangedMessage);
            return step;
        }
        PageStep step = start(Phase::kProgram, kProgramCommand, kProgramBlockLength, kProgramProgressEnd);
        ConfigImage kept;
        set_image_start_values(kept);
        std::memcpy(kept.bytes, copy, kRecordBytes);
        uint8_t file[kConfigFileBytes];
        build_config_file(kept, file);
        step.download_name = backup_file_name(local_time_now_iso8601(), kBackupLabel, copy);
        step.download_bytes.assign(reinterpret_cast<const char*>(file), sizeof file);
        notes_.push_back(kBackupKeptPrefix + step.download_name);
        return step;
    }
    // A copy that fails its check bytes: the device's own, or read once
    // more; the page tries again once, as zavctl does without retries.
    const bool first_read = earlier_copy_.empty();
    if (judge_unchecked_copy(copy, first_read ? nullptr : earlier_copy_.data()) == UncheckedCopy::kReadAgain) {
        if (first_read) {
            earlier_copy_.assign(copy, copy + kDeviceCopyBytes);
            return start(Phase::kBackupRead, kReadCommand, kReadBlockLength, kReadProgressEnd);
        }
        PageStep step = message_step(Caption::kConfiguration, true, kNoConfiguration);
        step.details.push_back(kNotProgrammedUnread);
        return step;
    }
    notes_.push_back(kNoBackupPrefix + std::string(kNoConfiguration));
    return start(Phase::kProgram, kProgramCommand, kProgramBlockLength, kProgramProgressEnd);
}

PageStep PageCommands::save_file() {
    const int code = form_to_image(form_, window_, image());
    if (code != 0) return field_error(code);
    uint8_t file[kConfigFileBytes];
    build_config_file(image(), file);
    PageStep step;
    step.download_bytes.assign(reinterpret_cast<const char*>(file), sizeof file);
    return step;
}

// The text as zavctl's export writes it, for the identified device's
// fitting, which the text names.
PageStep PageCommands::save_text() {
    const int code = form_to_image(form_, window_, image());
    if (code != 0) return field_error(code);
    PageStep step;
    step.download_bytes = export_text(image().bytes, fitting_of(image()));
    return step;
}

// "Laden": the window's file or a configuration text, told apart by the
// content as zavctl tells them; a text written for another fitting is
// refused, naming both.
PageStep PageCommands::load_file(const std::string& bytes, const std::string& name_utf8) {
    ConfigurationSource source;
    source.path = name_utf8;
    source.name = cp1252_from_utf8(name_utf8);
    Outcome outcome = configuration_from_bytes(bytes, source);
    if (outcome.ok() && source.text) {
        outcome = configuration_for_fitting(source, fitting_of(image()), image(), "das Gerät hat");
    } else if (outcome.ok()) {
        std::memcpy(image().bytes, source.image.bytes, kRecordBytes);
    }
    if (!outcome.ok()) {
        PageStep step = message_step(Caption::kConfiguration, true, outcome.message);
        if (!outcome.detail.empty()) step.details.push_back(outcome.detail);
        return step;
    }
    PageStep step = show_record(kConfigFileLoaded);
    step.details = source.warnings;
    return step;
}

// ---- The setup window --------------------------------------------------------


PageStep PageCommands::read_setup() {
    shared_.device_data_valid = 0;
    PageStep step = start(Phase::kSetupRead, kIdentifyCommand, 0, 0);
    step.device_data_valid = 0;
    return step;
}

PageStep PageCommands::write_setup(uint16_t options) {
    shared_.device_data_valid = 0;
    const int error = compose_setup_block_mask(options, &image().bytes[kSetupBlock]);
    if (error != 0) {
        PageStep step = message_step(Caption::kSetupForm, true, setup_compose_error_text(error));
        step.device_data_valid = 0;
        return step;
    }
    PageStep step = start(Phase::kSetupWrite, kSetupWriteCommand, 0, 0);
    step.device_data_valid = 0;
    return step;
}

PageStep PageCommands::setup_ended(uint32_t result) {
    PageStep step;
    switch (judge_setup_end(result, image())) {
        case SetupEnd::kNothing: return step;
        case SetupEnd::kConnectionLost: return message_step(Caption::kSetup, true, kConnectionLost);
        case SetupEnd::kRefused: return message_step(Caption::kSetup, true, kSetupRefused);
        case SetupEnd::kBlockInvalid: return message_step(Caption::kSetup, true, kSetupDataInvalid);
        case SetupEnd::kWritten:
            step = message_step(Caption::kSetup, false, kProgrammingDone);
            break;
        case SetupEnd::kBlockRead:
            step = message_step(Caption::kSetup, false, kSetupRead);
            step.show_options = true;
            step.options = decompose_setup_block_mask(&image().bytes[kSetupBlock]);
            break;
    }
    shared_.device_data_valid = 1;
    step.device_data_valid = 1;
    return step;
}

// ---- Transactions' ends ------------------------------------------------------

PageStep PageCommands::transaction_ended(uint32_t result) {
    const Phase phase = phase_;
    phase_ = Phase::kIdle;
    PageStep step;
    switch (phase) {
        case Phase::kIdle: return step;
        case Phase::kConnect: return connect_ended(result);
        case Phase::kRead:
        case Phase::kVerify: return configuration_ended(result, phase == Phase::kVerify);
        case Phase::kProgramIdentify: step = identified_for_programming(result); break;
        case Phase::kBackupRead: step = device_copy_read(result); break;
        case Phase::kProgram:
            step = configuration_ended(result, false);
            // Whatever ended it, a record begun and not finished leaves the
            // device with none.
            if (result != kResultWritten && link_.writes_begun()) step.details.push_back(kNoValidConfiguration);
            break;
        case Phase::kSetupRead:
        case Phase::kSetupWrite: return setup_ended(result);
    }
    if (!step.transaction) {
        // The programming's notes (the backup kept, or why none) stand
        // under its last message.
        step.details.insert(step.details.begin(), notes_.begin(), notes_.end());
        notes_.clear();
    }
    return step;
}

PageStep PageCommands::transaction_stopped(bool port_lost) {
    const Phase phase = phase_;
    phase_ = Phase::kIdle;
    link_.stop();
    const char* text = port_lost ? kConnectionLost : kCancelled;
    PageStep step;
    switch (phase) {
        case Phase::kIdle: return step;
        case Phase::kConnect: return message_step(Caption::kConnect, true, text);
        case Phase::kSetupRead: return message_step(Caption::kSetup, true, text);
        case Phase::kSetupWrite:
            step = message_step(Caption::kSetup, true, text);
            if (link_.writes_begun()) step.details.push_back(kSetupWriteOpen);
            return step;
        case Phase::kRead:
        case Phase::kVerify: return message_step(Caption::kConfiguration, true, text);
        case Phase::kProgramIdentify:
        case Phase::kBackupRead:
        case Phase::kProgram:
            step = message_step(Caption::kConfiguration, true, text);
            step.details = notes_;
            notes_.clear();
            step.details.push_back(phase == Phase::kProgram && link_.writes_begun() ? kNoValidConfiguration
                                                                                     : kNotProgrammedUnchanged);
            return step;
    }
    return step;
}

}  // namespace zav::web
