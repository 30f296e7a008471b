// The fields of a configuration text, between the text and the record: their
// keys and dotted paths, the record bytes each one writes, how a value is
// checked before the window sees it, and the record that a set of field
// texts gives. Export, import and set_fields share these, so that the three
// cannot come to disagree.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/record/record_view.h"
#include "fleet/text/config_text.h"

namespace zav::config_text {

// Keys, after the window's labels. They are an interface: never rename one.
constexpr char kKeyFormat[] = "format";
constexpr char kKeyFitting[] = "ausstattung";      // setup bytes 1 and 2, "7F 01"; a text may lack it
constexpr char kKeyDeadTime[] = "totzeit";
constexpr char kKeyAlarmPause[] = "alarmpause";
constexpr char kKeyAlarmMemory[] = "alarmspeicher";
constexpr char kKeyAlarms[] = "alarm";             // [[alarm]], one per fitted alarm
constexpr char kKeyTonePair[] = "doppel_ton";      // in [[alarm]]: which alarm; in [[zusatzrelais]]: the choice
constexpr char kKeyCoding[] = "codierung";
constexpr char kKeyAddresses[] = "adressen";       // [adressen]
constexpr char kKeyCount[] = "anzahl";
constexpr char kKeyNumbers[] = "nummern";
constexpr char kKeyManual[] = "hand";
constexpr char kKeyRelays[] = "zusatzrelais";      // [[zusatzrelais]], one per relay offered
constexpr char kKeyRelayFiveTone[] = "fuenf_ton";
constexpr char kKeyOnTime[] = "ein_zeit";
constexpr char kKeyRawBytes[] = "rohdaten";        // [rohdaten]: address = "hex bytes"

// The bits of setup bytes 1 and 2 that decide which fields a record shows.
constexpr uint8_t kFittedAlarmBits = 0x1F;  // byte 1: alarm n fitted
constexpr uint8_t kTenAddressesBit = 0x20;  // byte 1: up to 10 addresses, else 5
constexpr uint8_t kRelayCodeBits = 0xC0;    // byte 1: 01 two relays, 10 four, else none
constexpr uint8_t kTwoRelaysCode = 0x40;
constexpr uint8_t kFourRelaysCode = 0x80;
constexpr uint8_t kToneSetABit = 0x01;      // byte 2: tone-pair set 675+x, else 1240/675+x

enum class FieldKind {
    kDeadTime,
    kAlarmPause,
    kAlarmMemory,
    kAlarmTonePair,    // names the alarm; not a value to set
    kCoding,
    kCount,
    kNumber,
    kManual,
    kRelayFiveTone,
    kRelayDoubleTone,
    kOnTime,
};

// One field; index counts from 0: the alarm's position in the window's list,
// the 5-tone entry, the relay.
struct FieldRef {
    FieldKind kind;
    int index = 0;
};

// "totzeit", "alarm.2.codierung", "adressen.nummern.3", "zusatzrelais.1.ein_zeit".
std::string field_path(FieldRef field);
// The field a path names; the index is not checked against a fitting.
std::optional<FieldRef> field_of_path(std::string_view path);

// What the window offers for a fitting.
struct FittingLists {
    std::vector<int> alarms;              // fitted alarm numbers, in list order
    std::vector<std::string> tone_pairs;  // their texts
    int max_five_tone_count = 0;          // 5 or 10
    int relays = 0;                       // 0, 2 or 4
    // The fitting is the one a text without "ausstattung" describes by its
    // own sections, not a device's: messages say so.
    bool described = false;
};
FittingLists fitting_lists(SetupFitting fitting);

// The record a new configuration starts with (every byte 0xFF).
ConfigRecord new_record();

// "a, b, c", for messages that list what is allowed.
std::string listed(const std::vector<std::string>& items);

// The fields of a record, as the window shows them for a fitting.
RecordView fields_of_record(const ConfigRecord& record, SetupFitting fitting);

struct FieldError {
    FieldRef field;
    std::string message;
    bool field_check = false;  // one of the window's field checks (its messages 1 to 6)
};

// Checks text (Windows-1252) as a value of the field and puts it into
// fields. Refused here is what the window's field could not even hold
// (more digits than it takes, a choice its list lacks), with the window's
// message where it has one; the rest is the window's field checks' work.
std::optional<FieldError> put_field_text(RecordView& fields, const FittingLists& lists, FieldRef field,
                                         const std::string& text);

// The record that the fields give when the window had loaded base: the
// window's transfer with its field checks, except that a field whose text is
// the one base shows keeps base's bytes (so bytes the window's lists cannot
// show, such as a relay's 5-tone nibble of 12, survive while the relay is
// left alone). fields must hold the fitting's alarms, in list order, and
// relays.
std::optional<FieldError> record_from_fields(const RecordView& fields, const ConfigRecord& base,
                                             SetupFitting fitting, ConfigRecord& record);

// The field behind a record address, for the comments of the raw bytes:
// "5-Ton Nummer 4", "Codierung 675Hz/825Hz", "Zusatzrelais 3"...
std::string record_address_name(size_t address, SetupFitting fitting, const FittingLists& lists);

}  // namespace zav::config_text
