// A configuration record as text: a TOML document that names every field
// the configuration window shows, under a key after the window's label and
// with the value in the window's own text form, plus the record's bytes
// that no field shows. People write, review and keep it under version
// control; zavctl turns it into the record with the window's own field
// checks. docs/Textformat.md describes the format.
//
// A text may name the fitting it was written for (key "ausstattung"); it
// then holds that fitting's fields and is checked for it. A text without
// one holds the fields of the alarms and relays it has sections for, and
// is checked only for what holds under every fitting: the fitting of the
// device that gets the record decides the rest.
//
// The promises:
//   import_text(export_text(R, f)) gives R byte for byte for every record
//   R the window takes with fitting f (no field error), and for every
//   record R the window takes with some fitting when no fitting is given;
//   export_text(import_text(T).record, f) gives T back for a text T that
//   export_text wrote for f (or without a fitting).
//
// Texts are UTF-8 (with or without a byte order mark); the messages are
// the program's own, in Windows-1252 like every text of the core.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config/config_image.h"
#include "fleet/record/config_record.h"

namespace zav {

constexpr int kConfigTextFormat = 1;

// The fitting whose fields a text holds and whose field checks apply:
// setup bytes 1 and 2 (fitted alarms, addresses, relays, tone-pair set).
struct SetupFitting {
    uint8_t setup_byte1;
    uint8_t setup_byte2;
};

// All five double-tone alarms, 10 addresses, four extra relays, tone-pair
// set 675+x: every field the record can hold is shown.
constexpr SetupFitting kFullFitting{0xBF, 0x01};

// Whether two fittings show the same fields: the same alarms, address
// limit, relays and tone-pair set. The tone durations and the bits no
// option sets do not matter to a configuration.
bool same_fitting(SetupFitting a, SetupFitting b);

// "7F 01": how a text and its messages name a fitting.
std::string fitting_name(SetupFitting fitting);

// The fitting a record is written for when none is given: every alarm and
// every relay whose values the window takes (a device may well lack the
// others, whose bytes go into the raw bytes), ten addresses, the tone
// names of set 675+x. The window takes the record with it whenever it
// takes the record with any fitting.
SetupFitting described_fitting(const uint8_t* record);

// What is wrong with a text, and where: line and column count from 1 (0 when
// the error has no place in a text, as for set_field); key is the field's
// dotted path ("alarm.2.codierung", "adressen.nummern.3") or "".
struct TextError {
    int line = 0;
    int column = 0;
    std::string key;
    std::string message;
    // Refused by the window's field checks (its messages 1 to 6), not by the
    // form of the text.
    bool field_check = false;
};

// "Zeile 12, Spalte 9: alarm.2.codierung: ..." (the parts it has).
std::string text_error_line(const TextError& error);

// The text of a record (108 bytes). fitting: the device's, where known;
// the text then names it (key "ausstattung") and holds the fields the
// window shows for it. Without one the text names none and is written for
// described_fitting(record), and its header says so. Never fails: a record
// the window would refuse is written too, with a warning in the header.
std::string export_text(const uint8_t* record, std::optional<SetupFitting> fitting = std::nullopt);

struct ImportedText {
    bool ok = false;
    ConfigRecord record{};                 // when ok
    std::optional<SetupFitting> fitting;   // when ok: the one the text names, if it names one
    std::vector<TextError> warnings;       // when ok: what is taken but looks wrong (five_tone_warning)
    TextError error;                       // when not
};

// The record of a text: for a text that names its fitting, after the
// window's field checks for it; for one that does not, after the checks
// that hold under every fitting (the text's own sections count as fitted),
// the rest being the business of the fitting that the record meets later.
ImportedText import_text(std::string_view text);

// Sets fields of a record as editing them in its exported text would: path
// as the text names the field ("totzeit", "alarm.1.codierung",
// "adressen.anzahl", "adressen.nummern.2", "zusatzrelais.1.ein_zeit"),
// value as text in UTF-8 ("30", "ON01,R02", "21401", "-keiner-"). Every
// field not named keeps its bytes. The window's field checks apply to the
// whole record. Returns the first error (without line and column); the
// record is changed only when there is none.
std::optional<TextError> set_fields(ConfigRecord& record, SetupFitting fitting,
                                    const std::vector<std::pair<std::string, std::string>>& values);
std::optional<TextError> set_field(ConfigRecord& record, SetupFitting fitting, const std::string& path,
                                   const std::string& value);

// What set_fields can say of values before the fitting is known: every
// path names a field that the fullest fitting has, and the values pass the
// window's field checks there, with the tone-pair names of either tone set.
// Values refused here are refused for every fitting; values accepted here
// are checked again by set_fields once the fitting is known (a fitting
// with fewer alarms, addresses or relays lacks some fields).
std::optional<TextError> check_fields_for_any_fitting(const std::vector<std::pair<std::string, std::string>>& values);

// A 5-tone number with a character other than a digit ("214O1": a letter
// O for a zero) is what the window takes, so a text, a plan and program
// take it too, with a warning that names the field. The warning's words
// for a number (Windows-1252), or none.
std::optional<std::string> five_tone_warning(const std::string& number);

// The warnings of values as set_fields takes them, by their paths.
std::vector<TextError> field_warnings(const std::vector<std::pair<std::string, std::string>>& values);

// The warnings of a record's 5-tone numbers (1 to its count), each with
// the field's name in the window's words ("5-Ton Nummer 2") as key.
std::vector<TextError> record_warnings(const uint8_t* record);

// Whether the bytes of a file are a configuration text rather than the
// window's binary file or some other file: the binary starts with its
// header text (a file that starts like it, even cut short, counts as
// binary); a text holds no control character but tab and line ends. An
// empty file is no text.
bool is_config_text(std::string_view file_bytes);

}  // namespace zav
