// A configuration record as the configuration window shows it for one
// fitting (setup bytes 1 and 2): the texts of its fields and the selections
// of its lists, and whether the window would take the record back.
//
// The view is not decoded from the bytes here. It is read off the window's
// own form logic (core/config/config_form.h) on fresh state: the window is
// created, the record is shown as after "Laden", and then every alarm,
// every "Nummer" and every relay is chosen in turn, as a user clicking
// through the lists would. Whatever the window shows, the view shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/config/config_image.h"

namespace zav {

struct AlarmView {
    int alarm;              // alarm number 0..4 as the record counts it (bit of setup byte 1)
    std::string tone_pair;  // its item in the alarm selector
    std::string coding;     // "Codierung" with this alarm chosen
};

struct RelayView {
    int relay;                // 1.. as the relay selector lists it
    std::string five_tone;    // "1".."10", "alle", "--"; "" when the list shows no choice
    std::string double_tone;  // a tone pair, or "-keiner-"
    std::string on_time;      // "Ein-Zeit", seconds
};

// Texts exactly as the fields show them. A list that shows no choice (a
// record byte that names no item) gives "".
struct RecordView {
    std::array<uint8_t, kRecordBytes> record;  // the record shown
    uint8_t setup_byte1;                       // the fitting it is shown for
    uint8_t setup_byte2;
    std::vector<AlarmView> alarms;             // the fitted alarms, in list order
    std::string dead_time;                     // "Totzeit", seconds
    std::string alarm_pause;                   // "Alarmpause", seconds
    std::string alarm_memory;                  // "Alarmspeicher": "0", "1", "2", "4" or ""
    std::string five_tone_count;               // "Anzahl-5Ton"
    std::vector<std::string> five_tone;        // "5-Ton" for "Nummer" 1, 2, ...
    std::string manual;                        // "Hand": a tone pair or ""
    std::vector<RelayView> relays;             // the relays the fitting offers
    // What "Sichern" right after "Laden" would say: 0 when the window takes
    // the record, else the field error 1..6 (config_error_text names it).
    int check_code;
    // Which of several fields of its kind the check stopped at: the alarm
    // number 0..4 for code 1, the 5-tone entry 0..9 for code 5, the relay
    // 0..3 for code 6; -1 otherwise.
    int check_item;
};

// record: the 108 record bytes; they are only read.
RecordView view_record(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2);

// The record as "Laden" then "Sichern" would write it for this fitting (the
// window's field checks, and the bytes its fields put back) into taken,
// 108 bytes. Returns 0, or the field error 1..6; on an error taken holds
// what the window had written up to it.
int record_as_window_takes_it(const uint8_t* record, uint8_t setup_byte1, uint8_t setup_byte2, uint8_t* taken);

// The other way round: the record "Sichern" writes (into taken, 108 bytes)
// when the window had loaded base and its fields were then set to the texts
// of fields: alarm by alarm, relay by relay, in the lists' order. The count
// and the 5-tone entries are taken as a file gives them, not as typing
// would (no cut back to the fitting's maximum, no entry cut to five
// characters). A list text that names no item of its list leaves the list
// without a choice. Returns 0, or the field error 1..6.
int record_from_view(const RecordView& fields, const uint8_t* base, uint8_t setup_byte1, uint8_t setup_byte2,
                     uint8_t* taken);

}  // namespace zav
