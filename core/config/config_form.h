// The configuration window's fields as plain data, and the logic between them
// and the configuration image. The window only copies control values into a
// ConfigForm, calls one of these functions and copies back what it changed;
// nothing here knows about windows, so every rule can be tested natively.
//
// How the window uses it:
//   creation:      set_up_config_window_state(), then form_at_creation();
//                  apply the whole form (kChangedAll).
//   a notification (ignored by the handlers while shared.updating is set):
//                  read every control into the form, call the on_xxx handler,
//                  then with shared.updating set apply each control whose bit
//                  is in the returned mask.
//   after a read or load:  image_to_form() sets shared.updating; apply
//                  kChangedAll; show the message; reset_remembered_positions();
//                  clear shared.updating.
//   "Sichern", "Verifizieren", "Programmieren":  read every control into the
//                  form, then form_to_image(); a code other than 0 is shown
//                  with config_error_text().
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/link/shared_state.h"
#include "core/config/alarm_text.h"
#include "core/config/config_image.h"

namespace zav {

// Control ids, in tab order.
enum ConfigControlId {
    kIdAlarmSelector = 0,
    kIdCoding = 1,          // "Codierung"
    kIdDeadTime = 2,        // "Totzeit"
    kIdAlarmPause = 3,      // "Alarmpause"
    kIdAlarmMemory = 4,     // "Alarmspeicher"
    kIdFiveToneCount = 5,   // "Anzahl-5Ton"
    kIdNumber = 6,          // "Nummer"
    kIdFiveTone = 7,        // "5-Ton"
    kIdManual = 8,          // "Hand"
    kIdRelaySelector = 9,   // "Relais"
    kIdRelayFiveTone = 10,
    kIdRelayDoubleTone = 11,
    kIdOnTime = 12,         // "Ein-Zeit"
    kIdLoad = 13,
    kIdSave = 14,
    kIdRead = 15,
    kIdVerify = 16,
    kIdProgram = 17,
    kIdProgress = 18,
};

constexpr int kNoSelection = -1;               // what CB_GETCURSEL reports for none
constexpr size_t kFieldTextBytes = 16;         // short edit fields: read up to 15 characters
constexpr size_t kFiveToneSlotBytes = 15;
constexpr size_t kFiveToneTextChars = 5;
constexpr int kMaxFiveToneEntries = 10;
constexpr int kRelayChoiceNone = 11;           // "--" in the relay 5-tone choice
constexpr int kRelayFiveToneItemCount = 12;

// Items of the fixed lists.
extern const char* const kAlarmMemoryItems[4];                     // "0" "1" "2" "4"
extern const char* const kRelayFiveToneItems[kRelayFiveToneItemCount];  // "1".."10" "alle" "--"
constexpr const char kNoDoubleToneItem[] = "-keiner-";

// The field checks of form_to_image, by the code it returns (0: none
// failed); config_error_text() gives each its message ("" for 0). A
// configuration as text is checked against the same codes and limits.
constexpr int kCodingError = 1;       // "Codierung"
constexpr int kDeadTimeError = 2;     // "Totzeit"
constexpr int kAlarmPauseError = 3;   // "Alarmpause"
constexpr int kCountError = 4;        // "Anzahl-5Ton"
constexpr int kFiveToneError = 5;     // "5-Ton"
constexpr int kRelayError = 6;        // "Ein-Zeit" of a relay
const char* config_error_text(int code);

// What the number fields take: their characters, and at most 180 seconds.
constexpr int kMaxSeconds = 180;
constexpr size_t kSecondsChars = 3;     // "Totzeit", "Alarmpause"
constexpr size_t kCountChars = 2;       // "Anzahl-5Ton"
constexpr size_t kOnTimeChars = 5;      // "Ein-Zeit"

// Tone-pair text ("675Hz/1240Hz" ...) of alarm 0..4 in set A (setup byte 2
// bit 0 set) or set B.
const char* alarm_tone_pair_text(int alarm, bool set_a);

// Everything the controls show. Selections are list positions, kNoSelection
// for none. The number list holds the items "1".."number_items".
struct ConfigForm {
    char coding[kAlarmTextBytes];
    char dead_time[kFieldTextBytes];
    char alarm_pause[kFieldTextBytes];
    char five_tone_count[kFieldTextBytes];
    char five_tone[kFieldTextBytes];
    char on_time[kFieldTextBytes];
    int alarm_selector;
    int alarm_memory;
    int number;
    int number_items;
    int manual;
    int relay_selector;
    int relay_five_tone;
    int relay_double_tone;
    bool relay_double_tone_enabled;
    bool relay_controls_enabled;    // selector, 5-tone choice and "Ein-Zeit": only when relays are offered
};

// What the window keeps while it exists (the text buffers also between
// openings: set_up_config_window_state leaves them alone).
struct ConfigWindowState {
    uint8_t fitted_alarms[kAlarmCount + 1];     // ascending alarm numbers, then kListEnd
    int fitted_count;
    int max_five_tone_count;                    // 5 or 10
    int relays_offered;                         // 0, 2 or 4
    bool tone_set_a;
    char alarm_texts[kAlarmCount][kAlarmTextBytes];                // by alarm number
    char five_tone_slots[kFiveToneEntrySlots][kFiveToneSlotBytes]; // by entry
    uint8_t relay_copy[kRelayCount][2];         // [r][0] trigger byte, [r][1] on-time
    int remembered_alarm;
    int remembered_number;
    int remembered_relay;
};

// Bits of a change mask: changed_bit(id) for each control whose text or
// selection changed, plus the two below.
constexpr uint32_t changed_bit(int id) { return 1u << id; }
constexpr uint32_t kChangedNumberItems = 1u << 20;  // rebuild "Nummer" with "1".."number_items"
constexpr uint32_t kChangedEnables = 1u << 21;      // re-apply the two enabled flags
constexpr uint32_t kChangedAll = 0x1FFFu | kChangedNumberItems | kChangedEnables;

// Zeroes everything (empty texts), as static storage starts.
void clear_config_window_state(ConfigWindowState& state);

// Window creation: fitted alarms, maximum 5-tone count and relays offered
// from the setup bytes, relay working copy reset (trigger 0xFF, on-time 0),
// remembered positions 0. The alarm texts and 5-tone slots are kept.
void set_up_config_window_state(ConfigWindowState& state, uint8_t setup_byte1, uint8_t setup_byte2);

// Tone-pair text of the fitted alarm at list position (alarm selector,
// "Hand" and the relay double-tone choice list these, in this order).
const char* fitted_alarm_text(const ConfigWindowState& state, int position);

// The items of the window's lists, by control id: the window fills its lists
// from these, and zavctl names a selection with the same texts. "Nummer"
// holds form.number_items items; the other lists depend on the state only.
int list_item_count(const ConfigWindowState& state, const ConfigForm& form, int id);

// The item at a list position, or "" where the list holds none (kNoSelection
// among them): what the closed list then shows.
const char* list_item_text(const ConfigWindowState& state, const ConfigForm& form, int id, int position);

// The fields as the window creates them: empty texts, "Ein-Zeit" "0",
// position 0 in the lists that have items, "--" and "-keiner-" in the relay
// choices, no "Nummer" items.
void form_at_creation(const ConfigWindowState& state, ConfigForm& form);

void reset_remembered_positions(ConfigWindowState& state);

// Record -> fields and window buffers. Sets shared.updating; the caller
// clears it after its message box.
void image_to_form(const ConfigImage& image, ConfigWindowState& state, ConfigForm& form,
                   SharedState& shared);

// Fields -> record. Returns 0, or the code 1..6 of the first field in
// error; what was written before the error stays written.
int form_to_image(const ConfigForm& form, ConfigWindowState& state, ConfigImage& image);

// Change handlers. Each returns the mask of what it changed in the form
// (0 while shared.updating is set).
uint32_t on_alarm_selector_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared);
uint32_t on_number_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared);
uint32_t on_relay_selector_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared);
uint32_t on_relay_five_tone_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared);
uint32_t on_five_tone_count_changed(ConfigForm& form, ConfigWindowState& state, const SharedState& shared);

}  // namespace zav
