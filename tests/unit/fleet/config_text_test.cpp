#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/config/config_file.h"
#include "core/config/config_form.h"
#include "fleet/record/record_view.h"
#include "fleet/text/config_text.h"
#include "fleet/text/config_text_toml_words.h"

namespace zav {
namespace {

struct ExampleFile {
    const char* name;
    std::vector<uint8_t> bytes;
};

const std::vector<ExampleFile> kExamples = {
#include "example_files.inc"
};

std::string hex(const ConfigRecord& record) {
    std::string text;
    char pair[4];
    for (const uint8_t byte : record) {
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        text += pair;
    }
    return text;
}

// Both promises for one record the window takes: the text gives the record
// back byte for byte, and the record gives the text back. The text names
// the fitting it was written for, or none.
void expect_round_trip(const ConfigRecord& record, std::optional<SetupFitting> fitting) {
    const std::string text = export_text(record.data(), fitting);
    const ImportedText imported = import_text(text);
    ASSERT_TRUE(imported.ok) << text_error_line(imported.error) << "\n" << text;
    ASSERT_EQ(hex(record), hex(imported.record)) << text;
    ASSERT_EQ(text, export_text(imported.record.data(), fitting));
    ASSERT_EQ(fitting.has_value(), imported.fitting.has_value()) << text;
    if (fitting) {
        EXPECT_EQ(fitting->setup_byte1, imported.fitting->setup_byte1);
        EXPECT_EQ(fitting->setup_byte2, imported.fitting->setup_byte2);
    }
}

// The fitting a text is checked for: the one given, or the one a text
// without one is written for.
SetupFitting checked_for(const ConfigRecord& record, std::optional<SetupFitting> fitting) {
    return fitting ? *fitting : described_fitting(record.data());
}

ConfigRecord record_of(const ExampleFile& example) {
    ConfigImage image;
    EXPECT_EQ(ConfigFileOutcome::kOk, load_config_file(example.bytes.data(), example.bytes.size(), image));
    ConfigRecord record;
    std::copy(image.bytes, image.bytes + kRecordBytes, record.begin());
    return record;
}

const ExampleFile& example(const std::string& name) {
    const auto found = std::find_if(kExamples.begin(), kExamples.end(),
                                    [&](const ExampleFile& file) { return file.name == name; });
    EXPECT_NE(kExamples.end(), found) << name;
    return found != kExamples.end() ? *found : kExamples.front();
}

// Each example under a few fittings: where the window takes it, both ways
// round; where it does not, the text is refused with the window's message.
// Without a fitting, every example goes both ways round.
TEST(ConfigText, EveryExampleRoundTrips) {
    ASSERT_FALSE(kExamples.empty());
    const std::optional<SetupFitting> fittings[] = {
        std::nullopt,
        SetupFitting{0x03, 0x01},  // two alarms, five addresses, no relays
        SetupFitting{0x25, 0x00},  // alarms 0 and 2 of set B, ten addresses
        SetupFitting{0x53, 0x01},  // three alarms, two relays
    };
    for (const ExampleFile& file : kExamples) {
        const ConfigRecord record = record_of(file);
        int taken = 0;
        for (const std::optional<SetupFitting>& fitting : fittings) {
            SCOPED_TRACE(std::string(file.name) + " " + (fitting ? std::to_string(fitting->setup_byte1) : "-"));
            const SetupFitting used = checked_for(record, fitting);
            const int code = view_record(record.data(), used.setup_byte1, used.setup_byte2).check_code;
            EXPECT_TRUE(code == 0 || fitting.has_value()) << config_error_text(code);
            if (code == 0) {
                expect_round_trip(record, fitting);
                ++taken;
            } else {
                const ImportedText imported = import_text(export_text(record.data(), fitting));
                ASSERT_FALSE(imported.ok);
                EXPECT_NE(std::string::npos, imported.error.message.find(config_error_text(code)));
            }
        }
        EXPECT_GT(taken, 0) << file.name;
    }
}

// An alarm action list the window takes, of random actions; the bytes
// after its end mark are whatever they were.
void random_action_list(std::mt19937& random, uint8_t* list) {
    const int wanted = static_cast<int>(random() % 10);
    size_t j = 0;
    for (int a = 0; a < wanted && j < kAlarmListBytes; ++a) {
        const uint8_t number = static_cast<uint8_t>(random() % 61);
        const uint8_t kind = static_cast<uint8_t>(random() % 4);
        if (kind == 2) {
            if (j + 2 > kAlarmListBytes) break;
            list[j++] = static_cast<uint8_t>(0x80 | number);
            list[j++] = static_cast<uint8_t>((random() % 10) << 4 | (random() % 10));  // two decimal digits
        } else {
            list[j++] = static_cast<uint8_t>(kind << 6 | number);
        }
    }
    if (j == 0) list[j++] = 0x45;  // an empty list is refused: ON05
    if (j < kAlarmListBytes) list[j] = kListEnd;
}

// Random bytes shaped towards what the window takes: right-sized counts and
// entries, valid action lists, times within range; the rest (list tails,
// entries beyond the count, relay triggers, the "Alarmspeicher" and "Hand"
// bytes) stays random, so that values the window's lists cannot show come
// up too.
ConfigRecord random_record(std::mt19937& random) {
    ConfigRecord record;
    for (uint8_t& byte : record) byte = static_cast<uint8_t>(random());
    record[kFiveToneCount] = static_cast<uint8_t>(1 + random() % 10);
    for (size_t n = 0; n < record[kFiveToneCount]; ++n) {
        for (size_t k = 0; k < kFiveToneEntryBytes; ++k) {
            record[five_tone_entry(n) + k] = static_cast<uint8_t>(1 + random() % 255);
        }
    }
    for (size_t alarm = 0; alarm < kAlarmCount; ++alarm) random_action_list(random, &record[alarm_list(alarm)]);
    record[kDeadTime] = static_cast<uint8_t>(random() % 181);
    record[kAlarmPause] = static_cast<uint8_t>(random() % 181);
    if (random() % 4 != 0) record[kAlarmMemory] = static_cast<uint8_t>(random() % 4);
    if (random() % 4 != 0) record[kManualAlarm] = static_cast<uint8_t>(random() % 5);
    for (size_t r = 0; r < kRelayCount; ++r) {
        if (random() % 8 != 0) record[relay_on_time(r)] = static_cast<uint8_t>(random() % 181);
    }
    return record;
}

// Each random record for a random fitting and without one. A record the
// window takes with some fitting goes both ways round without one too.
TEST(ConfigText, RandomRecordsRoundTrip) {
    std::mt19937 random(2100);
    int taken = 0;
    int refused = 0;
    for (int i = 0; i < 2000; ++i) {
        const ConfigRecord record = random_record(random);
        const SetupFitting fitting{static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
        SCOPED_TRACE("record " + std::to_string(i));
        const bool taken_with_fitting =
            view_record(record.data(), fitting.setup_byte1, fitting.setup_byte2).check_code == 0;
        const SetupFitting described = described_fitting(record.data());
        const bool taken_without =
            view_record(record.data(), described.setup_byte1, described.setup_byte2).check_code == 0;
        ASSERT_TRUE(taken_without || !taken_with_fitting);
        if (taken_without && i % 4 == 0) expect_round_trip(record, std::nullopt);
        if (HasFatalFailure()) return;
        if (!taken_with_fitting) {
            // Written all the same, and read back to the window's verdict.
            const ImportedText imported = import_text(export_text(record.data(), fitting));
            ASSERT_FALSE(imported.ok);
            ASSERT_NE(std::string::npos, imported.error.message.find("Fehler:")) << text_error_line(imported.error);
            ++refused;
            continue;
        }
        expect_round_trip(record, fitting);
        if (HasFatalFailure()) return;
        ++taken;
    }
    EXPECT_GT(taken, 1500) << refused;
    EXPECT_GT(refused, 50) << taken;
}

// Records at the edges of what a field shows, with the fittings that show
// them or not: bytes that no field covers (the last byte of the record,
// relay 4's on-time, with two relays or none), values the window refuses
// in an alarm or relay that a fitting may lack, "Hand" naming an alarm
// that is not fitted. Each goes both ways round, with and without a
// fitting, wherever the window takes it.
TEST(ConfigText, EdgeRecordsRoundTripWithAndWithoutAFitting) {
    const ConfigRecord small = record_of(example("kleine-wache.zcf"));
    struct Edge {
        const char* what;
        size_t address;
        std::vector<uint8_t> bytes;
    };
    const Edge edges[] = {
        {"last byte, an on-time", kRecordBytes - 1, {0x2A}},
        {"last byte beyond 180", kRecordBytes - 1, {0xB5}},
        {"last byte unset", kRecordBytes - 1, {0xFF}},
        {"relay 2 beyond 180", relay_on_time(1), {0xC8}},
        {"alarm 4 valid, 3 and 5 not", alarm_list(3), {0x45, 0xFF}},
        {"alarm 5 with a refused action", alarm_list(4), {0x7F, 0xFF}},
        {"tail after an end mark", alarm_list(0) + 3, {0xFF, 0x12, 0x34}},
        {"hand on an alarm not fitted", kManualAlarm, {0x03}},
        {"ten addresses", kFiveToneCount, {0x0A}},
    };
    const std::optional<SetupFitting> fittings[] = {std::nullopt, SetupFitting{0x03, 0x01}, SetupFitting{0x43, 0x03},
                                                    kFullFitting};
    for (const Edge& edge : edges) {
        ConfigRecord record = small;
        std::copy(edge.bytes.begin(), edge.bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(edge.address));
        if (edge.address == kFiveToneCount) {
            for (size_t n = 0; n < kMaxFiveToneEntries; ++n) std::memcpy(&record[five_tone_entry(n)], "21409", 5);
        }
        int taken = 0;
        for (const std::optional<SetupFitting>& fitting : fittings) {
            SCOPED_TRACE(std::string(edge.what) + " " + (fitting ? fitting_name(*fitting) : "-"));
            const SetupFitting used = checked_for(record, fitting);
            const int code = view_record(record.data(), used.setup_byte1, used.setup_byte2).check_code;
            // The example's own fitting takes every edge, so a text without
            // one must hold each.
            ASSERT_TRUE(code == 0 || fitting.has_value()) << config_error_text(code);
            if (code != 0) continue;
            expect_round_trip(record, fitting);
            ++taken;
        }
        EXPECT_GE(taken, 2) << edge.what;  // without a fitting and with the example's own at least
    }
}

// A text as export writes it, for edits: the fully fitted example.
std::string sample_text() { return export_text(record_of(example("voll-10-adressen-4-relais.zcf")).data()); }

struct Place {
    int line;
    int column;
};

// Line and column (in characters) where marker first stands.
Place place_of(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    EXPECT_NE(std::string::npos, at) << marker;
    const size_t line_start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    int column = 1;
    for (size_t i = line_start; i < at; ++i) column += (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80;
    return {static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1,
            column};
}

// Where a text ends: just after its last character.
Place end_of(const std::string& text) {
    const size_t line_start = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    return {static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1,
            static_cast<int>(text.size() - line_start) + 1};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    return text.replace(at, from.size(), to);
}

TEST(ConfigText, ErrorsSayWhereAndWhat) {
    const std::string text = sample_text();
    struct Case {
        const char* what;
        std::string edited;
        std::string marker;  // where the error must point; "" for the text's end
        const char* key;
        const char* message;
    };
    const std::string cut = text.substr(0, text.find("\"21402\"") + 4);
    const Case cases[] = {
        {"wrong tone pair", replaced(text, "\"675Hz/1860Hz\"", "\"675Hz/1250Hz\""), "\"675Hz/1250Hz\"",
         "alarm.2.doppel_ton", "'675Hz/1250Hz' ist kein Doppel-Ton: 675Hz/1240Hz, 675Hz/1860Hz"},
        {"tone pair of the other set", replaced(text, "\"675Hz/825Hz\"", "\"1240Hz/1860Hz\""), "\"1240Hz/1860Hz\"",
         "alarm.4.doppel_ton",
         "'1240Hz/1860Hz' gehört zum Tonsatz 1240/675+x, die übrigen Doppel-Töne des Texts zum Tonsatz 675+x"},
        {"fitting of one byte", replaced(text, "format = 1\n", "format = 1\nausstattung = \"7F\"\n"), "\"7F\"",
         "ausstattung", "erwartet werden Setup-Byte 1 und 2 in Hex-Ziffern"},
        {"coding outside the grammar", replaced(text, "\"ON01,ON02\"", "\"ON01,ON61\""), "\"ON01,ON61\"",
         "alarm.1.codierung", "Fehler: Codierung ! ('ON01,ON61': erlaubt sind"},
        {"coding beyond the nine places",
         replaced(text, "\"R10,R11,ON12\"", "\"R10,R11,ON12,ON13,ON14,ON15,ON16,ON17,ON18,ON19\""),
         "\"R10,R11,ON12,", "alarm.5.codierung", "braucht 10 Plätze, die Liste hat 9"},
        {"address too short", replaced(text, "\"21402\"", "\"2142\""), "\"2142\"", "adressen.nummern.2",
         "Fehler: 5-Ton ! ('2142' hat 4 Zeichen"},
        {"count with a letter", replaced(text, "anzahl = 10", "anzahl = \"1a\""), "\"1a\"", "adressen.anzahl",
         "erwartet wird eine ganze Zahl ohne Anführungszeichen, hier steht ein Text"},
        {"dead time beyond its field", replaced(text, "totzeit = 60", "totzeit = 1000"), "1000", "totzeit",
         "Fehler: Totzeit ! ('1000': erlaubt ist 0 bis 180 Sekunden)"},
        {"unknown key", replaced(text, "alarmpause =", "alarmpauze ="), "alarmpauze", "alarmpauze",
         "unbekannter Schlüssel"},
        {"missing key", replaced(text, "hand =", "# hand ="), "[adressen]", "adressen.hand", "fehlt"},
        {"wrong type", replaced(text, "ein_zeit = 10", "ein_zeit = \"10\""), "\"10\"  # Sekunden",
         "zusatzrelais.1.ein_zeit",
         "erwartet wird eine ganze Zahl"},
        {"duplicated key", replaced(text, "alarmpause =", "totzeit = 40\nalarmpause ="), "totzeit = 40", "totzeit",
         "steht doppelt"},
        {"text cut off", cut, "", "", "der Text bricht hier ab"},
        {"character Windows-1252 lacks", replaced(text, "\"ON01,ON02\"", "\"ON01\xE2\x86\x92\""), "\xE2\x86\x92",
         "alarm.1.codierung", "das Zeichen U+2192 gibt es in Windows-1252 nicht"},
        {"not UTF-8", replaced(text, "alarmpause = 20  # Sekunden", "alarmpause = 20  # Sekunden \xFC"), "\xFC", "",
         "kein gültiges UTF-8"},
        {"raw bytes no hex", replaced(text, "[rohdaten]", "[rohdaten]\n100 = \"0G\""), "\"0G\"", "rohdaten.100",
         "erwartet werden Bytes in Hex-Ziffern"},
        // toml++ calls these a missing '=' and a missing ']'.
        {"umlaut in a key", replaced(text, "fuenf_ton =", "f\xC3\xBCnf_ton ="), "\xC3\xBCnf_ton", "",
         "Schlüssel nur aus a–z, 0–9, _ und -: fuenf_ton"},
        {"sharp s in a heading", replaced(text, "[adressen]", "[adre\xC3\x9F" "en]"), "\xC3\x9F", "",
         "Schlüssel nur aus a–z, 0–9, _ und -: adressen"},
        // Only a key that exists is offered: this one meant without the dots.
        {"umlaut typed by mistake", replaced(text, "alarmpause =", "alarmp\xC3\xA4use ="), "\xC3\xA4use", "",
         "Schlüssel nur aus a–z, 0–9, _ und -: alarmpause"},
        {"umlaut in no key", replaced(text, "alarmpause =", "gr\xC3\xBC\xC3\x9F =\nalarmpause ="), "\xC3\xBC\xC3\x9F",
         "", "Schlüssel nur aus a–z, 0–9, _ und -; \"grüß\" ist kein Schlüssel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ImportedText imported = import_text(c.edited);
        ASSERT_FALSE(imported.ok);
        const Place place = c.marker.empty() ? end_of(c.edited) : place_of(c.edited, c.marker);
        EXPECT_EQ(place.line, imported.error.line) << text_error_line(imported.error);
        EXPECT_EQ(place.column, imported.error.column) << text_error_line(imported.error);
        EXPECT_EQ(c.key, imported.error.key);
        EXPECT_NE(std::string::npos, imported.error.message.find(c.message)) << imported.error.message;
    }
}

// Two fittings are the same to a text when they show the same fields: the
// tone durations (setup byte 2, bits 1 and 2) are no part of a
// configuration, and relay code 11 offers no relay, as 00.
TEST(ConfigText, FittingsAreTheSameByTheFieldsTheyShow) {
    const SetupFitting small{0x03, 0x01};
    EXPECT_TRUE(same_fitting(small, {0x03, 0x07}));
    EXPECT_TRUE(same_fitting(small, {0xC3, 0x01}));
    EXPECT_FALSE(same_fitting(small, {0x03, 0x00}));  // the other tone set
    EXPECT_FALSE(same_fitting(small, {0x23, 0x01}));  // ten addresses
    EXPECT_FALSE(same_fitting(small, {0x43, 0x01}));  // two relays
    EXPECT_FALSE(same_fitting(small, {0x07, 0x01}));  // a third alarm
}

// A 5-tone number with a letter (an O for a zero) is taken, as the window
// takes it, with a warning that names its field: in a text with its place,
// among a plan's values, in a record up to its count.
TEST(ConfigText, ANumberWithALetterIsTakenWithAWarning) {
    const std::string text = replaced(sample_text(), "\"21402\"", "\"214O2\"");
    const ImportedText imported = import_text(text);
    ASSERT_TRUE(imported.ok) << text_error_line(imported.error);
    ASSERT_EQ(1u, imported.warnings.size());
    const Place place = place_of(text, "\"214O2\"");
    EXPECT_EQ(place.line, imported.warnings[0].line);
    EXPECT_EQ(place.column, imported.warnings[0].column);
    EXPECT_EQ("adressen.nummern.2", imported.warnings[0].key);
    EXPECT_EQ("'214O2': der Buchstabe 'O' an Stelle 4 ist keine Ziffer (eine 0?); das Fenster nimmt es an",
              imported.warnings[0].message);

    ConfigRecord record = imported.record;
    std::vector<TextError> warnings = record_warnings(record.data());
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("5-Ton Nummer 2", warnings[0].key);
    record[kFiveToneCount] = 1;  // Nummer 2 is no number in use then
    EXPECT_TRUE(record_warnings(record.data()).empty());

    warnings = field_warnings({{"adressen.nummern.1", "21401"}, {"alarm.1.codierung", "ON01"},
                               {"adressen.nummern.3", "2140A"}});
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("adressen.nummern.3", warnings[0].key);
    EXPECT_EQ("'2140A': das Zeichen 'A' an Stelle 5 ist keine Ziffer; das Fenster nimmt es an", warnings[0].message);
}

// Every phrase of toml++ that import_text says in its own words, pinned: a
// text that makes toml++ say it, and our words for it in the error. An
// update of toml++ that words one of them differently fails here instead
// of falling back to the general message unnoticed.
TEST(ConfigText, EveryTomlPhraseThatIsTranslatedIsPinned) {
    const char* const texts[] = {
        "a = 1\r",              "a = \"abc",       "a = 1\na = 2\n", "a = {b = 1}\n[a.c]\n", "a b = 1\n",
        "a = \n",               "= 1\n",           "[]\n",           "a = 1 2\n",             "a = truex\n",
        "a = [1 2]\n",          "[a\n",            "a = \"x\nb = 1\n", "a = \"\\q\"\n",        "a = 012\n",
    };
    std::set<std::string_view> pinned;
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const toml::parse_result parsed = toml::parse(text);
        ASSERT_FALSE(parsed);
        const config_text::TomlWords* words = config_text::toml_words_for(parsed.error().description());
        ASSERT_NE(nullptr, words) << "toml++ says now: " << parsed.error().description();
        pinned.insert(words->phrase);
        EXPECT_EQ(words->message, import_text(text).error.message);
    }
    for (const config_text::TomlWords& words : config_text::toml_words()) {
        EXPECT_EQ(1u, pinned.count(words.phrase)) << "no text makes toml++ say: " << words.phrase;
    }
}

// What editors do to a text: a byte order mark, Windows line ends,
// sections in another order, comments gone.
TEST(ConfigText, ReadsWhatEditorsWrite) {
    const std::string text = sample_text();
    const ImportedText original = import_text(text);
    ASSERT_TRUE(original.ok);

    std::string edited = "\xEF\xBB\xBF";
    for (const char c : text) edited += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ImportedText imported = import_text(edited);
    ASSERT_TRUE(imported.ok) << text_error_line(imported.error);
    EXPECT_EQ(original.record, imported.record);

    // The alarms the other way round.
    const size_t first = text.find("[[alarm]]");
    const size_t second = text.find("[[alarm]]", first + 1);
    const size_t after = text.find("[[alarm]]", second + 1);
    edited = text.substr(0, first) + text.substr(second, after - second) + text.substr(first, second - first) +
             text.substr(after);
    imported = import_text(edited);
    ASSERT_TRUE(imported.ok) << text_error_line(imported.error);
    EXPECT_EQ(original.record, imported.record);

    EXPECT_TRUE(is_config_text(text));
    const std::vector<uint8_t>& binary = kExamples.front().bytes;
    EXPECT_FALSE(is_config_text(std::string(binary.begin(), binary.end())));
    EXPECT_FALSE(is_config_text(""));
    EXPECT_FALSE(is_config_text("ZAV-Konfig"));                // a binary file cut short
    EXPECT_FALSE(is_config_text("PK\x03\x04 format = 1\n"));  // some other file
}

// Fields set by path, as a plan of devices does it: only the fields named
// change, and what the window cannot take is refused.
TEST(ConfigText, SetFieldsChangesOnlyThoseFields) {
    ConfigRecord record = record_of(example("voll-10-adressen-4-relais.zcf"));
    // Bytes after the first alarm's end mark, and a relay trigger whose
    // 5-tone nibble no list item shows (12).
    record[alarm_list(0) + 3] = 0x12;
    record[alarm_list(0) + 4] = 0x34;
    record[relay_trigger(1)] = 0xCF;

    ConfigRecord changed = record;
    ASSERT_EQ(std::nullopt, set_fields(changed, kFullFitting,
                                        {{"adressen.nummern.3", "21499"}, {"adressen.anzahl", "3"},
                                         {"alarm.1.codierung", "ON01,ON02,R03"}, {"zusatzrelais.3.ein_zeit", "45"}}));
    ConfigRecord expected = record;
    expected[kFiveToneCount] = 3;
    std::memcpy(&expected[five_tone_entry(2)], "21499", 5);
    const uint8_t coding[] = {0x41, 0x42, 0xC3, 0xFF};  // over the old tail's first byte
    std::memcpy(&expected[alarm_list(0)], coding, sizeof coding);
    expected[relay_on_time(2)] = 45;
    EXPECT_EQ(hex(expected), hex(changed));

    // Three numbers now: a fourth must be given with the count.
    const ConfigRecord three = changed;
    std::optional<TextError> error = set_field(changed, kFullFitting, "adressen.anzahl", "4");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ("adressen.nummern.4", error->key);
    EXPECT_EQ(three, changed);
    error = set_field(changed, kFullFitting, "zusatzrelais.5.ein_zeit", "10");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ("diese Ausstattung hat 4 Zusatzrelais", error->message);
    error = set_field(changed, kFullFitting, "totzeit", "181");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ("Fehler: Totzeit ! (0 bis 180 Sekunden)", error->message);
}

}  // namespace
}  // namespace zav
