#include "core/config/config_form.h"

#include <cstdio>
#include <cstring>

namespace zav {

const char* const kAlarmMemoryItems[4] = {"0", "1", "2", "4"};
const char* const kRelayFiveToneItems[kRelayFiveToneItemCount] = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "alle", "--"};

namespace {

const char* const kErrorTexts[7] = {
    "",
    "Fehler: Codierung !",
    "Fehler: Totzeit !",
    "Fehler: Alarmpause !",
    "Fehler: Anzahl-5Ton !",
    "Fehler: 5-Ton !",
    "Fehler: Zusatzrelais !",
};

// "Nummer" and the relay selector count from 1.
const char* const kCountingItems[kMaxFiveToneEntries] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};

const char* const kTonePairsA[kAlarmCount] = {
    "675Hz/1240Hz", "675Hz/1860Hz", "675Hz/2280Hz", "675Hz/825Hz", "675Hz/1010Hz"};
const char* const kTonePairsB[kAlarmCount] = {
    "675Hz/1240Hz", "675Hz/1860hz", "1240Hz/2280Hz", "1240Hz/1860Hz", "1240Hz/1010Hz"};

constexpr size_t kFiveToneTakeChars = 9;
constexpr uint8_t kOnTimeTooLarge = 255;
constexpr uint8_t kNoTrigger = 15;

// Copies at most max_chars characters of source, always terminated within
// destination_bytes.
void copy_text(char* destination, size_t destination_bytes, const char* source, size_t max_chars) {
    size_t length = 0;
    while (length < max_chars && length + 1 < destination_bytes && source[length] != '\0') {
        destination[length] = source[length];
        ++length;
    }
    destination[length] = '\0';
}

void write_number(char* field, int value) {
    std::snprintf(field, kFieldTextBytes, "%d", value);
}

bool is_fitted_position(const ConfigWindowState& state, int position) {
    return position >= 0 && position < state.fitted_count;
}

// List position of an alarm number among the fitted alarms, or the position
// after the last one ("-keiner-" in the relay choice, none in "Hand").
int fitted_position_of(const ConfigWindowState& state, int alarm) {
    for (int p = 0; p < state.fitted_count; ++p) {
        if (state.fitted_alarms[p] == alarm) return p;
    }
    return state.fitted_count;
}

bool is_offered_relay(const ConfigWindowState& state, int position) {
    return position >= 0 && position < state.relays_offered && position < static_cast<int>(kRelayCount);
}

// Non-digits, and values too large for the byte, become 255 so that the
// on-time check refuses them rather than storing a wrapped value.
uint8_t on_time_value(const char* text) {
    if (!is_digit_text(text, kOnTimeChars)) return kOnTimeTooLarge;
    const long long value = decimal_text_value(text, kOnTimeChars);
    return value > 255 ? kOnTimeTooLarge : static_cast<uint8_t>(value);
}

void capture_relay(const ConfigForm& form, ConfigWindowState& state, int relay) {
    if (!is_offered_relay(state, relay)) return;
    const int choice = form.relay_five_tone;
    const int high = (choice < 0 || choice >= kRelayChoiceNone) ? kNoTrigger : choice;
    const int position = form.relay_double_tone;
    // The "-keiner-" item sits on the list's end mark and so gives 15.
    const int low = (position >= 0 && position <= state.fitted_count)
                        ? (state.fitted_alarms[position] & 0x0F)
                        : kNoTrigger;
    state.relay_copy[relay][0] = static_cast<uint8_t>(high * 16 + low);
    state.relay_copy[relay][1] = on_time_value(form.on_time);
}

void show_relay(ConfigForm& form, const ConfigWindowState& state, int relay) {
    const uint8_t trigger = state.relay_copy[relay][0];
    const int high = trigger >> 4;
    const int choice = high == kNoTrigger ? kRelayChoiceNone : high;
    form.relay_five_tone = choice < kRelayFiveToneItemCount ? choice : kNoSelection;
    form.relay_double_tone_enabled = form.relay_controls_enabled && choice != kRelayChoiceNone;
    form.relay_double_tone = fitted_position_of(state, trigger & 0x0F);
    write_number(form.on_time, state.relay_copy[relay][1]);
}

constexpr uint32_t kRelayShown = changed_bit(kIdRelayFiveTone) | changed_bit(kIdRelayDoubleTone) |
                                 changed_bit(kIdOnTime) | kChangedEnables;

// A "Totzeit" or "Alarmpause" value: digits only, 0..180, stored before its
// range check.
int take_seconds(const char* text, uint8_t& target, int error) {
    if (text[0] == '\0' || !is_digit_text(text, kSecondsChars)) return error;
    const long long value = decimal_text_value(text, kSecondsChars);
    target = static_cast<uint8_t>(value);
    return value > kMaxSeconds ? error : 0;
}

uint32_t switch_number(ConfigForm& form, ConfigWindowState& state) {
    const int previous = state.remembered_number;
    if (previous >= 0 && previous < kMaxFiveToneEntries) {
        copy_text(state.five_tone_slots[previous], kFiveToneSlotBytes, form.five_tone, kFiveToneTextChars);
    }
    const int chosen = form.number;
    if (chosen < 0 || chosen >= form.number_items || chosen >= kMaxFiveToneEntries) return 0;
    state.remembered_number = chosen;
    copy_text(form.five_tone, kFieldTextBytes, state.five_tone_slots[chosen], kFiveToneSlotBytes);
    return changed_bit(kIdFiveTone);
}

}  // namespace

const char* config_error_text(int code) {
    if (code < 0 || code > 6) return "";
    return kErrorTexts[code];
}

const char* alarm_tone_pair_text(int alarm, bool set_a) {
    if (alarm < 0 || alarm >= static_cast<int>(kAlarmCount)) return "";
    return set_a ? kTonePairsA[alarm] : kTonePairsB[alarm];
}

void clear_config_window_state(ConfigWindowState& state) {
    std::memset(&state, 0, sizeof state);
}

void set_up_config_window_state(ConfigWindowState& state, uint8_t setup_byte1, uint8_t setup_byte2) {
    state.fitted_count = 0;
    for (int alarm = 0; alarm < static_cast<int>(kAlarmCount); ++alarm) {
        if (setup_byte1 & (1u << alarm)) state.fitted_alarms[state.fitted_count++] = static_cast<uint8_t>(alarm);
    }
    for (int p = state.fitted_count; p <= static_cast<int>(kAlarmCount); ++p) state.fitted_alarms[p] = kListEnd;
    state.max_five_tone_count = (setup_byte1 & 0x20) ? 10 : 5;
    switch (setup_byte1 & 0xC0) {
        case 0x40: state.relays_offered = 2; break;
        case 0x80: state.relays_offered = 4; break;
        default: state.relays_offered = 0; break;  // 00, and the undefined 11
    }
    state.tone_set_a = (setup_byte2 & 0x01) != 0;
    for (size_t r = 0; r < kRelayCount; ++r) {
        state.relay_copy[r][0] = 0xFF;
        state.relay_copy[r][1] = 0;
    }
    reset_remembered_positions(state);
}

const char* fitted_alarm_text(const ConfigWindowState& state, int position) {
    if (!is_fitted_position(state, position)) return "";
    return alarm_tone_pair_text(state.fitted_alarms[position], state.tone_set_a);
}

int list_item_count(const ConfigWindowState& state, const ConfigForm& form, int id) {
    switch (id) {
        case kIdAlarmSelector:
        case kIdManual: return state.fitted_count;
        case kIdAlarmMemory: return 4;
        case kIdNumber: return form.number_items < kMaxFiveToneEntries ? form.number_items : kMaxFiveToneEntries;
        case kIdRelaySelector: return state.relays_offered;
        case kIdRelayFiveTone: return kRelayFiveToneItemCount;
        case kIdRelayDoubleTone: return state.fitted_count + 1;  // the fitted alarms, then "-keiner-"
        default: return 0;
    }
}

const char* list_item_text(const ConfigWindowState& state, const ConfigForm& form, int id, int position) {
    if (position < 0 || position >= list_item_count(state, form, id)) return "";
    switch (id) {
        case kIdAlarmSelector:
        case kIdManual: return fitted_alarm_text(state, position);
        case kIdAlarmMemory: return kAlarmMemoryItems[position];
        case kIdNumber:
        case kIdRelaySelector: return kCountingItems[position];
        case kIdRelayFiveTone: return kRelayFiveToneItems[position];
        case kIdRelayDoubleTone:
            return position < state.fitted_count ? fitted_alarm_text(state, position) : kNoDoubleToneItem;
        default: return "";
    }
}

void form_at_creation(const ConfigWindowState& state, ConfigForm& form) {
    std::memset(&form, 0, sizeof form);
    write_number(form.on_time, 0);
    const int first_alarm = state.fitted_count > 0 ? 0 : kNoSelection;
    form.alarm_selector = first_alarm;
    form.alarm_memory = 0;
    form.number = kNoSelection;
    form.number_items = 0;
    form.manual = first_alarm;
    form.relay_controls_enabled = state.relays_offered > 0;
    form.relay_selector = form.relay_controls_enabled ? 0 : kNoSelection;
    form.relay_five_tone = kRelayChoiceNone;
    form.relay_double_tone = state.fitted_count;
    form.relay_double_tone_enabled = false;
}

void reset_remembered_positions(ConfigWindowState& state) {
    state.remembered_alarm = 0;
    state.remembered_number = 0;
    state.remembered_relay = 0;
}

void image_to_form(const ConfigImage& image, ConfigWindowState& state, ConfigForm& form,
                   SharedState& shared) {
    const uint8_t* record = image.bytes;
    shared.updating = 1;

    for (int p = 0; p < state.fitted_count; ++p) {
        const int alarm = state.fitted_alarms[p];
        format_alarm_text(record + alarm_list(alarm), state.alarm_texts[alarm]);
    }
    if (state.fitted_count > 0) {
        copy_text(form.coding, kAlarmTextBytes, state.alarm_texts[state.fitted_alarms[0]], kAlarmTextMaxChars);
        form.alarm_selector = 0;
    } else {
        form.coding[0] = '\0';
        form.alarm_selector = kNoSelection;
    }

    write_number(form.dead_time, record[kDeadTime]);
    write_number(form.alarm_pause, record[kAlarmPause]);
    form.alarm_memory = record[kAlarmMemory] < 4 ? record[kAlarmMemory] : kNoSelection;

    // The stored count is shown even above 10 (the transfer back refuses it),
    // but no more entries exist than the record holds.
    const int count = record[kFiveToneCount];
    write_number(form.five_tone_count, count);
    const int entries = count < kMaxFiveToneEntries ? count : kMaxFiveToneEntries;
    for (int n = 0; n < entries; ++n) {
        std::memcpy(state.five_tone_slots[n], record + five_tone_entry(n), kFiveToneEntryBytes);
        state.five_tone_slots[n][kFiveToneEntryBytes] = '\0';
    }
    form.number_items = entries;
    form.number = entries > 0 ? 0 : kNoSelection;
    copy_text(form.five_tone, kFieldTextBytes, state.five_tone_slots[0], kFiveToneSlotBytes);

    const int manual = fitted_position_of(state, record[kManualAlarm]);
    form.manual = manual < state.fitted_count ? manual : kNoSelection;

    for (size_t r = 0; r < kRelayCount; ++r) {
        state.relay_copy[r][0] = record[relay_trigger(r)];
        state.relay_copy[r][1] = record[relay_on_time(r)];
    }
    form.relay_controls_enabled = state.relays_offered > 0;
    form.relay_selector = form.relay_controls_enabled ? 0 : kNoSelection;
    show_relay(form, state, 0);
}

int form_to_image(const ConfigForm& form, ConfigWindowState& state, ConfigImage& image) {
    uint8_t* record = image.bytes;

    if (is_fitted_position(state, form.alarm_selector)) {
        copy_text(state.alarm_texts[state.fitted_alarms[form.alarm_selector]], kAlarmTextBytes, form.coding,
                  kAlarmTextMaxChars);
    }
    for (int p = 0; p < state.fitted_count; ++p) {
        const int alarm = state.fitted_alarms[p];
        if (parse_alarm_text(state.alarm_texts[alarm], record + alarm_list(alarm)) != 0) return kCodingError;
    }

    int error = take_seconds(form.dead_time, record[kDeadTime], kDeadTimeError);
    if (error != 0) return error;
    error = take_seconds(form.alarm_pause, record[kAlarmPause], kAlarmPauseError);
    if (error != 0) return error;

    if (form.alarm_memory >= 0 && form.alarm_memory < 4) record[kAlarmMemory] = static_cast<uint8_t>(form.alarm_memory);

    if (form.number >= 0 && form.number < form.number_items && form.number < kMaxFiveToneEntries) {
        copy_text(state.five_tone_slots[form.number], kFiveToneSlotBytes, form.five_tone, kFiveToneTakeChars);
    }

    if (!is_digit_text(form.five_tone_count, kCountChars)) return kCountError;
    const long long count = decimal_text_value(form.five_tone_count, kCountChars);
    if (count < 1 || count > kMaxFiveToneEntries) return kCountError;
    record[kFiveToneCount] = static_cast<uint8_t>(count);

    for (int n = 0; n < count; ++n) {
        if (std::strlen(state.five_tone_slots[n]) != kFiveToneTextChars) return kFiveToneError;
        std::memcpy(record + five_tone_entry(n), state.five_tone_slots[n], kFiveToneEntryBytes);
    }

    // Without a selection "Hand" names no alarm: the byte keeps its value.
    if (is_fitted_position(state, form.manual)) record[kManualAlarm] = state.fitted_alarms[form.manual];

    capture_relay(form, state, form.relay_selector);
    for (size_t r = 0; r < kRelayCount; ++r) {
        record[relay_trigger(r)] = state.relay_copy[r][0];
        record[relay_on_time(r)] = state.relay_copy[r][1];
        // A relay the device does not offer has no control to mend its
        // on-time with (its bytes often hold 0xFF), so only offered relays
        // are checked; the others pass through as they came.
        if (is_offered_relay(state, static_cast<int>(r)) && state.relay_copy[r][1] > kMaxSeconds) return kRelayError;
    }
    return 0;
}

uint32_t on_alarm_selector_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared) {
    if (shared.updating) return 0;
    if (is_fitted_position(state, state.remembered_alarm)) {
        copy_text(state.alarm_texts[state.fitted_alarms[state.remembered_alarm]], kAlarmTextBytes, form.coding,
                  kAlarmTextMaxChars);
    }
    if (!is_fitted_position(state, form.alarm_selector)) return 0;
    state.remembered_alarm = form.alarm_selector;
    copy_text(form.coding, kAlarmTextBytes, state.alarm_texts[state.fitted_alarms[form.alarm_selector]],
              kAlarmTextMaxChars);
    return changed_bit(kIdCoding);
}

uint32_t on_number_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared) {
    if (shared.updating) return 0;
    return switch_number(form, state);
}

uint32_t on_relay_selector_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared) {
    if (shared.updating) return 0;
    capture_relay(form, state, state.remembered_relay);
    if (!is_offered_relay(state, form.relay_selector)) return 0;
    state.remembered_relay = form.relay_selector;
    show_relay(form, state, form.relay_selector);
    return kRelayShown;
}

uint32_t on_relay_five_tone_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared) {
    if (shared.updating) return 0;
    if (form.relay_five_tone == kRelayChoiceNone) {
        form.relay_double_tone = state.fitted_count;
        form.relay_double_tone_enabled = false;
        return changed_bit(kIdRelayDoubleTone) | kChangedEnables;
    }
    form.relay_double_tone_enabled = form.relay_controls_enabled;
    return kChangedEnables;
}

uint32_t on_five_tone_count_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared) {
    if (shared.updating) return 0;
    // Anything but digits counts as no count at all.
    if (!is_digit_text(form.five_tone_count, kCountChars)) return 0;
    int count = static_cast<int>(decimal_text_value(form.five_tone_count, kCountChars));
    if (count == 0) return 0;
    uint32_t changes = 0;
    if (count > state.max_five_tone_count) {
        count = state.max_five_tone_count;
        write_number(form.five_tone_count, count);
        changes |= changed_bit(kIdFiveToneCount);
    }
    form.number_items = count;
    form.number = 0;
    changes |= kChangedNumberItems | changed_bit(kIdNumber);
    // As the newly filled list's selection change: keep the shown entry's
    // text at its remembered position, then show entry 0.
    return changes | switch_number(form, state);
}

}  // namespace zav
