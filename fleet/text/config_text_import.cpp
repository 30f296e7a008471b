// import_text: a configuration text as its record. toml++ reads the TOML;
// everything it reports is said again here in the program's own German
// words, with line and column. Then every key is checked against the
// fitting's fields (an unknown or a missing key is an error: a typo must
// never fall back to a default), and the window's field checks decide the
// rest.
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "core/config/config_form.h"
#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"
#include "fleet/text/config_text.h"
#include "fleet/text/config_text_fields.h"
#include "fleet/text/config_text_toml_words.h"

namespace zav {

namespace {

using namespace config_text;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Place {
    int line = 1;
    int column = 1;
};

Place place_of(const toml::source_position& position) {
    return {static_cast<int>(position.line), static_cast<int>(position.column)};
}

// The bytes of the character at text[i]; the text has passed the encoding's
// check when this is asked.
size_t character_length(std::string_view text, size_t i) { return utf8_character_at(text, i).length; }

// The text's lines, to find a character that a place (line, column in
// characters) points at, and the other way round.
class SourceLines {
public:
    explicit SourceLines(std::string_view text) : text_(text) {
        starts_.push_back(0);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') starts_.push_back(i + 1);
        }
    }

    std::string_view line(int number) const {
        if (number < 1 || static_cast<size_t>(number) > starts_.size()) return {};
        const size_t start = starts_[static_cast<size_t>(number) - 1];
        const size_t end = text_.find('\n', start);
        return text_.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    }

    // The first character between two places that Windows-1252 cannot
    // hold, with its code point; none when the region holds none (the
    // character came from an escape such as \u2192).
    std::optional<std::pair<Place, char32_t>> first_foreign(Place from, Place to) const {
        Place place = from;
        std::string_view rest = line(place.line);
        size_t offset = offset_in_line(rest, place.column);
        while (place.line < to.line || (place.line == to.line && place.column < to.column)) {
            if (offset >= rest.size()) {
                if (static_cast<size_t>(place.line) >= starts_.size()) break;
                ++place.line;
                place.column = 1;
                rest = line(place.line);
                offset = 0;
                continue;
            }
            const size_t length = character_length(rest, offset);
            const std::string_view character = rest.substr(offset, length);
            std::string converted;
            size_t bad = 0;
            if (!cp1252_from_utf8_exact(character, converted, bad)) {
                return std::make_pair(place, utf8_character_at(character, 0).code_point);
            }
            offset += length;
            ++place.column;
        }
        return std::nullopt;
    }

    // The place of a byte offset into the text.
    Place place_of_offset(size_t offset) const {
        const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
        const size_t line = static_cast<size_t>(after - starts_.begin());
        int column = 1;
        for (size_t i = starts_[line - 1]; i < offset; i += character_length(text_, i)) ++column;
        return {static_cast<int>(line), column};
    }

    // The byte offset of a line's first character in the text.
    size_t offset_of_line(int number) const { return starts_[static_cast<size_t>(number) - 1]; }

    // The byte offset of a column (in characters) within a line.
    static size_t offset_in_line(std::string_view line, int column) {
        size_t offset = 0;
        for (int c = 1; c < column && offset < line.size(); ++c) {
            offset += character_length(line, offset);
        }
        return std::min(offset, line.size());
    }

    // The column of the first character of a line that is no blank.
    int first_non_blank(int line_number) const {
        const std::string_view text = line(line_number);
        const size_t first = text.find_first_not_of(" \t");
        return first == std::string_view::npos ? 1 : static_cast<int>(first) + 1;
    }

private:
    std::string_view text_;
    std::vector<size_t> starts_;
};

std::string code_point_name(char32_t code_point) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code_point));
    return text;
}

bool is_bare_key_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

using Spelling = std::pair<std::string_view, const char*>;
// Umlauts and ß spelt out, as the format's own keys spell them ("fuenf_ton").
constexpr Spelling kSpeltOut[] = {{"\xC3\xA4", "ae"}, {"\xC3\xB6", "oe"}, {"\xC3\xBC", "ue"}, {"\xC3\x84", "Ae"},
                                  {"\xC3\x96", "Oe"}, {"\xC3\x9C", "Ue"}, {"\xC3\x9F", "ss"}};
// The letters without their dots, as a key typed with them by mistake
// ("alarmpäuse") was meant.
constexpr Spelling kWithoutDots[] = {{"\xC3\xA4", "a"}, {"\xC3\xB6", "o"}, {"\xC3\xBC", "u"}, {"\xC3\x84", "A"},
                                     {"\xC3\x96", "O"}, {"\xC3\x9C", "U"}, {"\xC3\x9F", "ss"}};

// A key with each umlaut and ß written as spellings says; any other
// character stays.
template <size_t N>
std::string respelt(std::string_view key, const Spelling (&spellings)[N]) {
    std::string out;
    for (size_t i = 0; i < key.size();) {
        const auto spelling = std::find_if(std::begin(spellings), std::end(spellings),
                                           [&](const auto& s) { return key.substr(i, s.first.size()) == s.first; });
        if (spelling != std::end(spellings)) {
            out += spelling->second;
            i += spelling->first.size();
        } else {
            const size_t length = character_length(key, i);
            out += cp1252_from_utf8(key.substr(i, length));
            i += length;
        }
    }
    return out;
}

// Whether a key, or a dotted path ("zusatzrelais.1.ein_zeit"), is made of
// the format's keys and numbers alone.
bool is_format_key(std::string_view path) {
    static const std::string_view kKeys[] = {
        kKeyFormat, kKeyFitting, kKeyDeadTime, kKeyAlarmPause, kKeyAlarmMemory,    kKeyAlarms, kKeyTonePair, kKeyCoding,
        kKeyAddresses, kKeyCount, kKeyNumbers, kKeyManual,  kKeyRelays, kKeyRelayFiveTone, kKeyOnTime, kKeyRawBytes};
    size_t begin = 0;
    for (;;) {
        const size_t end = std::min(path.find('.', begin), path.size());
        const std::string_view part = path.substr(begin, end - begin);
        const bool number = !part.empty() && std::all_of(part.begin(), part.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        if (!number && std::find(std::begin(kKeys), std::end(kKeys), part) == std::end(kKeys)) return false;
        if (end == path.size()) return true;
        begin = end + 1;
    }
}

// The key a key with an umlaut was meant to be, when the format has one:
// spelt out ("fünf_ton": fuenf_ton) or without the dots ("alarmpäuse":
// alarmpause). Only a key that exists is offered.
std::optional<std::string> meant_key(std::string_view key) {
    for (const std::string& candidate : {respelt(key, kSpeltOut), respelt(key, kWithoutDots)}) {
        if (is_format_key(candidate)) return candidate;
    }
    return std::nullopt;
}

// A key with a letter beyond a-z ("fünf_ton"): toml++ stops at that letter
// and calls it a missing '=' (or no key at all, when the key begins with
// it). Found here from the text itself, whatever toml++'s words: at the
// place toml++ stopped stands a character beyond ASCII, within a word that
// begins a line (or a heading) and is followed by '=' or ']'.
std::optional<TextError> key_with_foreign_letter(Place place, const SourceLines& lines) {
    const std::string_view line = lines.line(place.line);
    const size_t at = lines.offset_in_line(line, place.column);
    if (at >= line.size() || static_cast<uint8_t>(line[at]) < 0x80) return std::nullopt;
    auto in_key = [&](size_t i) {
        return is_bare_key_character(line[i]) || line[i] == '.' || static_cast<uint8_t>(line[i]) >= 0x80;
    };
    size_t begin = at;
    while (begin > 0 && in_key(begin - 1)) --begin;
    size_t end = at;
    while (end < line.size() && in_key(end)) ++end;
    const std::string_view before = line.substr(0, begin);
    const size_t heading = before.find_first_not_of(" \t");
    const std::string_view opening = heading == std::string_view::npos ? std::string_view() : before.substr(heading);
    if (opening != "" && opening != "[" && opening != "[[") return std::nullopt;
    const size_t next = line.find_first_not_of(" \t", end);
    if (next == std::string_view::npos || (line[next] != '=' && line[next] != ']')) return std::nullopt;
    size_t first_foreign = begin;
    while (static_cast<uint8_t>(line[first_foreign]) < 0x80) ++first_foreign;
    const Place foreign = lines.place_of_offset(lines.offset_of_line(place.line) + first_foreign);
    const std::string_view key = line.substr(begin, end - begin);
    const std::optional<std::string> meant = meant_key(key);
    return TextError{foreign.line, foreign.column, "",
                     meant ? "Schlüssel nur aus a–z, 0–9, _ und -: " + *meant
                           : "Schlüssel nur aus a–z, 0–9, _ und -; \"" + cp1252_from_utf8(key) +
                                 "\" ist kein Schlüssel"};
}

// What toml++ found wrong, in our words (config_text_toml_words.h); where
// its message names a key, the key is taken over.
TextError syntax_error(const toml::parse_error& error, const SourceLines& lines) {
    const Place place = place_of(error.source().begin);
    if (std::optional<TextError> foreign = key_with_foreign_letter(place, lines)) return *foreign;
    const std::string_view said = error.description();
    TextError text_error;
    text_error.line = place.line;
    text_error.column = place.column;
    const TomlWords* words = toml_words_for(said);
    text_error.message = words != nullptr ? words->message : kTomlWordsOtherwise;
    if (words != nullptr && words->names_a_key) {
        const size_t close = said.rfind('\'');
        const size_t open = close == std::string_view::npos || close == 0 ? std::string_view::npos
                                                                          : said.rfind('\'', close - 1);
        if (open != std::string_view::npos) text_error.key = cp1252_from_utf8(said.substr(open + 1, close - open - 1));
        text_error.column = lines.first_non_blank(place.line);
    }
    return text_error;
}

const char* type_name(const toml::node& node) {
    switch (node.type()) {
        case toml::node_type::string: return "ein Text";
        case toml::node_type::integer: return "eine ganze Zahl";
        case toml::node_type::floating_point: return "eine Kommazahl";
        case toml::node_type::boolean: return "ein Wahrheitswert";
        case toml::node_type::array: return "eine Liste";
        case toml::node_type::table: return "ein Abschnitt";
        default: return "ein Datum oder eine Uhrzeit";
    }
}

// One pass over the document: the fields, the raw bytes and where each
// value stands, and every error found on the way.
class TextReader {
public:
    explicit TextReader(std::string_view text) : text_(text), lines_(text), base_(new_record()) {}

    // The encoding, then the TOML; the parsed document on success.
    std::optional<TextError> form_error(toml::parse_result& parsed) {
        // Said here rather than by the parser, which places it a character
        // early.
        const size_t invalid = invalid_utf8_offset(text_);
        if (invalid != std::string_view::npos) {
            const Place place = lines_.place_of_offset(invalid);
            return TextError{place.line, place.column, "", "kein gültiges UTF-8 (den Text als UTF-8 speichern)"};
        }
        parsed = toml::parse(text_);
        if (!parsed) return syntax_error(parsed.error(), lines_);
        return std::nullopt;
    }

    ImportedText read() {
        toml::parse_result parsed;
        if (std::optional<TextError> error = form_error(parsed)) return failed(*error);
        const toml::table& root = parsed.table();
        std::optional<SetupFitting> named;
        if (const toml::node* node = root.get(kKeyFitting)) {
            named = fitting_of(*node);
            if (!named) return failed(errors_.back());
        }
        fitting_ = named ? *named : fitting_described_by(root);
        lists_ = fitting_lists(fitting_);
        lists_.described = !named;
        fields_ = fields_of_record(base_, fitting_);
        read_document(root);
        // The first error in the text; a missing key only when nothing else
        // is wrong, as a misspelt key is missing too and is the better hint.
        const std::vector<TextError>& errors = errors_.empty() ? missing_ : errors_;
        if (!errors.empty()) {
            return failed(*std::min_element(errors.begin(), errors.end(), [](const TextError& a, const TextError& b) {
                return a.line != b.line ? a.line < b.line : a.column < b.column;
            }));
        }
        ImportedText imported;
        const std::optional<FieldError> refused = record_from_fields(fields_, base_, fitting_, imported.record);
        if (refused) {
            const auto where = places_.find(key_of(refused->field));
            const Placed placed = where != places_.end() ? where->second : Placed{Place{}, field_path(refused->field)};
            return failed({placed.place.line, placed.place.column, placed.path, refused->message, true});
        }
        imported.fitting = named;
        imported.warnings = warnings_;
        imported.ok = true;
        return imported;
    }

private:
    struct Placed {
        Place place;
        std::string path;
    };
    using FieldKey = std::pair<int, int>;

    static FieldKey key_of(FieldRef field) { return {static_cast<int>(field.kind), field.index}; }

    static ImportedText failed(TextError error) {
        ImportedText imported;
        imported.error = std::move(error);
        return imported;
    }

    void error(Place place, const std::string& path, const std::string& message) {
        errors_.push_back({place.line, place.column, path, message});
    }
    void missing(Place place, const std::string& path, const std::string& message) {
        missing_.push_back({place.line, place.column, path, message});
    }
    void error(const toml::node& node, const std::string& path, const std::string& message) {
        error(place_of(node.source().begin), path, message);
    }

    static std::string path_in(const std::string& section, const std::string& key) {
        return section.empty() ? key : section + "." + key;
    }

    // Unknown keys of a table; returns false when there were some.
    bool only_known(const toml::table& table, const std::string& section, const std::vector<std::string>& known) {
        bool clean = true;
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            if (std::find(known.begin(), known.end(), name) != known.end()) continue;
            error(place_of(key.source().begin), path_in(section, cp1252_from_utf8(name)),
                  "unbekannter Schlüssel (bekannt sind hier: " + listed(known) + ")");
            clean = false;
        }
        return clean;
    }

    // A key that must be there; the error stands where its table begins.
    const toml::node* required(const toml::table& table, const std::string& section, const char* key) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            const Place place = section.empty() ? Place{} : place_of(table.source().begin);
            missing(place, path_in(section, key), "fehlt");
        }
        return node;
    }

    bool expect(bool right, const toml::node& node, const std::string& path, const char* expected) {
        if (!right) error(node, path, std::string("erwartet wird ") + expected + ", hier steht " + type_name(node));
        return right;
    }

    // A text value in Windows-1252, or none after an error.
    std::optional<std::string> text_of(const toml::node& node, const std::string& path) {
        if (!expect(node.is_string(), node, path, "ein Text in Anführungszeichen")) return std::nullopt;
        std::string text;
        size_t bad = 0;
        if (cp1252_from_utf8_exact(node.as_string()->get(), text, bad)) return text;
        const Place from = place_of(node.source().begin);
        const auto foreign = lines_.first_foreign(from, place_of(node.source().end));
        const std::string which = foreign ? "das Zeichen " + code_point_name(foreign->second) : "ein Zeichen";
        error(foreign ? foreign->first : from, path,
              which + " gibt es in Windows-1252 nicht, das Gerät kann es nicht speichern");
        return std::nullopt;
    }

    // A number as the window's field would hold it ("-5" and "1000" are
    // refused by the field's own check).
    std::optional<std::string> number_of(const toml::node& node, const std::string& path) {
        if (!expect(node.is_integer(), node, path, "eine ganze Zahl ohne Anführungszeichen")) return std::nullopt;
        return std::to_string(node.as_integer()->get());
    }

    void put(const toml::node& node, FieldRef field, const std::string& path, const std::optional<std::string>& text) {
        places_[key_of(field)] = {place_of(node.source().begin), path};
        if (!text) return;
        if (const std::optional<FieldError> refused = put_field_text(fields_, lists_, field, *text)) {
            error(node, path, refused->message);
            errors_.back().field_check = refused->field_check;
        }
    }

    // "ausstattung": setup bytes 1 and 2, as the header names them.
    std::optional<SetupFitting> fitting_of(const toml::node& node) {
        const std::optional<std::string> text = text_of(node, kKeyFitting);
        if (!text) return std::nullopt;
        std::vector<uint8_t> bytes;
        if (!parse_hex(*text, bytes, HexBlanks::kPassedOver) || bytes.size() != 2) {
            error(node, kKeyFitting, "erwartet werden Setup-Byte 1 und 2 in Hex-Ziffern, z. B. \"7F 01\" (die ersten "
                                     "vier Ziffern des Setup-Blocks, den identify nennt)");
            return std::nullopt;
        }
        return SetupFitting{bytes[0], bytes[1]};
    }

    // The names of a tone set's alarms, by alarm number.
    static std::vector<std::string> tone_pair_names(bool set_a) {
        std::vector<std::string> names;
        for (int alarm = 0; alarm < static_cast<int>(kAlarmCount); ++alarm) {
            names.push_back(alarm_tone_pair_text(alarm, set_a));
        }
        return names;
    }

    // The tone pairs the [[alarm]] sections name, as written.
    static std::vector<std::string> section_tone_pairs(const toml::table& root) {
        std::vector<std::string> names;
        const toml::array* sections = root.get_as<toml::array>(kKeyAlarms);
        if (sections == nullptr) return names;
        for (const toml::node& section : *sections) {
            const toml::table* table = section.as_table();
            const toml::node* tone = table != nullptr ? table->get(kKeyTonePair) : nullptr;
            if (tone != nullptr && tone->is_string()) names.push_back(cp1252_from_utf8(tone->as_string()->get()));
        }
        return names;
    }

    // The fitting a text without "ausstattung" describes: the alarms its
    // [[alarm]] sections name (in either tone set; the names of alarms 0
    // and 1 are the same in both), ten addresses, as many relays as it has
    // [[zusatzrelais]] sections. What a check for it refuses, every
    // fitting refuses; a name of the other tone set, or a count of relays
    // no fitting has, is told by the reading.
    static SetupFitting fitting_described_by(const toml::table& root) {
        const std::vector<std::string> names = section_tone_pairs(root);
        const std::vector<std::string> set_a = tone_pair_names(true);
        const std::vector<std::string> set_b = tone_pair_names(false);
        auto named_in = [&](const std::vector<std::string>& set, const std::vector<std::string>& other) {
            return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
                return std::find(set.begin(), set.end(), name) != set.end() &&
                       std::find(other.begin(), other.end(), name) == other.end();
            });
        };
        const bool tone_set_a = named_in(set_a, set_b) || !named_in(set_b, set_a);
        const std::vector<std::string>& set = tone_set_a ? set_a : set_b;
        uint8_t alarms = 0;
        for (size_t alarm = 0; alarm < set.size(); ++alarm) {
            if (std::find(names.begin(), names.end(), set[alarm]) != names.end()) alarms |= 1u << alarm;
        }
        const toml::array* relays = root.get_as<toml::array>(kKeyRelays);
        const size_t relay_sections = relays != nullptr ? relays->size() : 0;
        const uint8_t relay_code = relay_sections == 0 ? 0 : relay_sections <= 2 ? kTwoRelaysCode : kFourRelaysCode;
        return {static_cast<uint8_t>(alarms | kTenAddressesBit | relay_code),
                static_cast<uint8_t>(tone_set_a ? kToneSetABit : 0)};
    }

    // A tone pair that is none of the fitting's: for a text without
    // "ausstattung", either one of the other tone set or none at all.
    std::string not_a_fitted_tone_pair(const std::string& name) const {
        if (!lists_.described) {
            return "'" + name + "' ist keiner der bestückten Doppel-Töne dieser Ausstattung" +
                   (lists_.tone_pairs.empty() ? std::string(" (sie hat keinen)") : ": " + listed(lists_.tone_pairs));
        }
        const bool set_a = (fitting_.setup_byte2 & kToneSetABit) != 0;
        const std::vector<std::string> other = tone_pair_names(!set_a);
        if (std::find(other.begin(), other.end(), name) != other.end()) {
            return "'" + name + "' gehört zum Tonsatz " + tone_set_name(!set_a) +
                   ", die übrigen Doppel-Töne des Texts zum Tonsatz " + tone_set_name(set_a);
        }
        const std::vector<std::string> names_a = tone_pair_names(true);
        std::vector<std::string> only_b;
        for (const std::string& b : tone_pair_names(false)) {
            if (std::find(names_a.begin(), names_a.end(), b) == names_a.end()) only_b.push_back(b);
        }
        return "'" + name + "' ist kein Doppel-Ton: " + listed(names_a) + " (Tonsatz 675+x) oder " + listed(only_b) +
               " (Tonsatz 1240/675+x)";
    }

    // The setup window's names of the tone sets ("DT-Satz").
    static std::string tone_set_name(bool set_a) { return set_a ? "675+x" : "1240/675+x"; }

    void read_document(const toml::table& root) {
        only_known(root, "", {kKeyFormat, kKeyFitting, kKeyDeadTime, kKeyAlarmPause, kKeyAlarmMemory, kKeyAlarms,
                              kKeyAddresses, kKeyRelays, kKeyRawBytes});
        if (const toml::node* format = required(root, "", kKeyFormat)) {
            if (expect(format->is_integer(), *format, kKeyFormat, "eine ganze Zahl ohne Anführungszeichen") &&
                format->as_integer()->get() != kConfigTextFormat) {
                error(*format, kKeyFormat, "dieses zavctl liest nur Textformat 1");
            }
        }
        if (const toml::node* node = required(root, "", kKeyDeadTime)) {
            put(*node, {FieldKind::kDeadTime}, kKeyDeadTime, number_of(*node, kKeyDeadTime));
        }
        if (const toml::node* node = required(root, "", kKeyAlarmPause)) {
            put(*node, {FieldKind::kAlarmPause}, kKeyAlarmPause, number_of(*node, kKeyAlarmPause));
        }
        if (const toml::node* node = required(root, "", kKeyAlarmMemory)) read_alarm_memory(*node);
        read_alarms(root);
        if (const toml::node* node = required(root, "", kKeyAddresses)) read_addresses(*node);
        read_relays(root);
        if (const toml::node* node = root.get(kKeyRawBytes)) read_raw_bytes(*node);
    }

    // 0, 1, 2 or 4, or "" where the list shows no choice.
    void read_alarm_memory(const toml::node& node) {
        std::optional<std::string> text;
        if (node.is_integer()) {
            text = std::to_string(node.as_integer()->get());
        } else if (node.is_string() && node.as_string()->get().empty()) {
            text = "";
        } else {
            error(node, kKeyAlarmMemory, "erwartet wird 0, 1, 2 oder 4 ohne Anführungszeichen, oder \"\" für keine "
                                         "Auswahl");
        }
        put(node, {FieldKind::kAlarmMemory}, kKeyAlarmMemory, text);
    }

    // A list of tables ([[alarm]], [[zusatzrelais]]); none after an error.
    const toml::array* tables_of(const toml::node& node, const char* key) {
        const toml::array* array = node.as_array();
        const bool right = array != nullptr && array->is_array_of_tables();
        expect(right, node, key, (std::string("je Eintrag ein Abschnitt [[") + key + "]]").c_str());
        return right ? array : nullptr;
    }

    void read_alarms(const toml::table& root) {
        const int fitted = static_cast<int>(lists_.alarms.size());
        const toml::node* node = root.get(kKeyAlarms);
        if (node == nullptr) {
            if (fitted > 0) missing(Place{}, kKeyAlarms, "fehlt: je bestücktem Doppel-Ton ein Abschnitt [[alarm]]");
            return;
        }
        const toml::array* alarms = tables_of(*node, kKeyAlarms);
        if (alarms == nullptr) return;
        std::vector<int> seen_in(lists_.alarms.size(), 0);
        for (size_t i = 0; i < alarms->size(); ++i) {
            const toml::table& alarm = *alarms->get(i)->as_table();
            const std::string section = std::string(kKeyAlarms) + "." + std::to_string(i + 1);
            only_known(alarm, section, {kKeyTonePair, kKeyCoding});
            const toml::node* tone = required(alarm, section, kKeyTonePair);
            if (tone == nullptr) continue;
            const std::optional<std::string> tone_text = text_of(*tone, path_in(section, kKeyTonePair));
            if (!tone_text) continue;
            const auto found = std::find(lists_.tone_pairs.begin(), lists_.tone_pairs.end(), *tone_text);
            if (found == lists_.tone_pairs.end()) {
                error(*tone, path_in(section, kKeyTonePair), not_a_fitted_tone_pair(*tone_text));
                continue;
            }
            const size_t position = static_cast<size_t>(found - lists_.tone_pairs.begin());
            if (seen_in[position] != 0) {
                error(*tone, path_in(section, kKeyTonePair),
                      "'" + *tone_text + "' steht schon in alarm." + std::to_string(seen_in[position]));
                continue;
            }
            seen_in[position] = static_cast<int>(i) + 1;
            if (const toml::node* coding = required(alarm, section, kKeyCoding)) {
                const std::string path = path_in(section, kKeyCoding);
                put(*coding, {FieldKind::kCoding, static_cast<int>(position)}, path, text_of(*coding, path));
            }
        }
        for (size_t p = 0; p < seen_in.size(); ++p) {
            if (seen_in[p] == 0) {
                missing(place_of(node->source().begin), kKeyAlarms,
                        "es fehlt der Abschnitt [[alarm]] für den Doppel-Ton '" + lists_.tone_pairs[p] + "'");
            }
        }
    }

    void read_addresses(const toml::node& node) {
        const toml::table* addresses = node.as_table();
        if (!expect(addresses != nullptr, node, kKeyAddresses, "ein Abschnitt [adressen]")) return;
        const std::string section = kKeyAddresses;
        only_known(*addresses, section, {kKeyCount, kKeyNumbers, kKeyManual});
        std::optional<std::string> count;
        if (const toml::node* count_node = required(*addresses, section, kKeyCount)) {
            count = number_of(*count_node, path_in(section, kKeyCount));
            put(*count_node, {FieldKind::kCount}, path_in(section, kKeyCount), count);
        }
        if (const toml::node* numbers = required(*addresses, section, kKeyNumbers)) read_numbers(*numbers, count);
        if (const toml::node* manual = required(*addresses, section, kKeyManual)) {
            const std::string path = path_in(section, kKeyManual);
            put(*manual, {FieldKind::kManual}, path, text_of(*manual, path));
        }
    }

    void read_numbers(const toml::node& node, const std::optional<std::string>& count) {
        const std::string list_path = path_in(kKeyAddresses, kKeyNumbers);
        const toml::array* numbers = node.as_array();
        if (!expect(numbers != nullptr, node, list_path, "eine Liste wie [\"21401\", \"21402\"]")) return;
        // As many entries as "anzahl" says, where it says something the
        // window takes; a wrong count is the window's own error.
        const long long wanted = count && !count->empty() && count->size() <= 2 ? std::stoll(*count) : -1;
        if (wanted >= 1 && wanted <= kMaxFiveToneEntries && static_cast<long long>(numbers->size()) != wanted) {
            error(node, list_path,
                  std::to_string(numbers->size()) + " Nummern, aber " + kKeyCount + " = " + std::to_string(wanted));
            return;
        }
        fields_.five_tone.assign(std::min(numbers->size(), static_cast<size_t>(kMaxFiveToneEntries)), std::string());
        for (size_t n = 0; n < fields_.five_tone.size(); ++n) {
            const toml::node& number = *numbers->get(n);
            const std::string path = list_path + "." + std::to_string(n + 1);
            const std::optional<std::string> text = text_of(number, path);
            put(number, {FieldKind::kNumber, static_cast<int>(n)}, path, text);
            if (const std::optional<std::string> warning = text ? five_tone_warning(*text) : std::nullopt) {
                const Place place = place_of(number.source().begin);
                warnings_.push_back({place.line, place.column, path, *warning});
            }
        }
    }

    void read_relays(const toml::table& root) {
        const size_t offered = static_cast<size_t>(lists_.relays);
        const toml::node* node = root.get(kKeyRelays);
        if (node == nullptr) {
            if (offered > 0) {
                missing(Place{}, kKeyRelays,
                        "fehlt: diese Ausstattung hat " + std::to_string(offered) + " Zusatzrelais");
            }
            return;
        }
        const toml::array* relays = tables_of(*node, kKeyRelays);
        if (relays == nullptr) return;
        if (relays->size() != offered) {
            error(*node, kKeyRelays, std::to_string(relays->size()) + " Abschnitte [[zusatzrelais]], aber " +
                                         (lists_.described ? std::string("Zusatzrelais gibt es 0, 2 oder 4")
                                                           : "diese Ausstattung hat " + std::to_string(offered) +
                                                                 " Zusatzrelais"));
            return;
        }
        for (size_t r = 0; r < offered; ++r) {
            const toml::table& relay = *relays->get(r)->as_table();
            const std::string section = std::string(kKeyRelays) + "." + std::to_string(r + 1);
            const int index = static_cast<int>(r);
            only_known(relay, section, {kKeyRelayFiveTone, kKeyTonePair, kKeyOnTime});
            if (const toml::node* five_tone = required(relay, section, kKeyRelayFiveTone)) {
                const std::string path = path_in(section, kKeyRelayFiveTone);
                put(*five_tone, {FieldKind::kRelayFiveTone, index}, path, text_of(*five_tone, path));
            }
            if (const toml::node* double_tone = required(relay, section, kKeyTonePair)) {
                const std::string path = path_in(section, kKeyTonePair);
                put(*double_tone, {FieldKind::kRelayDoubleTone, index}, path, text_of(*double_tone, path));
            }
            if (const toml::node* on_time = required(relay, section, kKeyOnTime)) {
                const std::string path = path_in(section, kKeyOnTime);
                put(*on_time, {FieldKind::kOnTime, index}, path, number_of(*on_time, path));
            }
        }
    }

    // address = "hex bytes": the bytes the fields start from.
    void read_raw_bytes(const toml::node& node) {
        const toml::table* raw = node.as_table();
        if (!expect(raw != nullptr, node, kKeyRawBytes, "ein Abschnitt [rohdaten]")) return;
        std::map<size_t, std::string> owner;  // address -> the entry that gave it
        for (auto&& [key, value] : *raw) {
            const std::string name = cp1252_from_utf8(key.str());
            const std::string path = path_in(kKeyRawBytes, name);
            const bool digits = !name.empty() && name.size() <= 3 &&
                                std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
            const size_t address = digits ? std::stoul(name) : kRecordBytes;
            if (address >= kRecordBytes) {
                error(place_of(key.source().begin), path, "erwartet wird eine Adresse von 0 bis 107");
                continue;
            }
            const std::optional<std::string> text = text_of(value, path);
            if (!text) continue;
            std::vector<uint8_t> bytes;
            if (!parse_hex(*text, bytes, HexBlanks::kPassedOver)) {
                error(value, path, "erwartet werden Bytes in Hex-Ziffern, z. B. \"30 31 FF\"");
                continue;
            }
            if (address + bytes.size() > kRecordBytes) {
                error(value, path, "reicht über das Ende des Datensatzes (Adresse 107) hinaus");
                continue;
            }
            for (size_t i = 0; i < bytes.size(); ++i) {
                const auto [taken, fresh] = owner.emplace(address + i, path);
                if (!fresh) {
                    error(value, path, "Adresse " + std::to_string(address + i) + " steht schon in " + taken->second);
                    break;
                }
                base_[address + i] = bytes[i];
            }
        }
    }

    std::string_view text_;
    SourceLines lines_;
    SetupFitting fitting_{};
    FittingLists lists_;
    ConfigRecord base_;
    RecordView fields_;
    std::map<FieldKey, Placed> places_;
    std::vector<TextError> errors_;
    std::vector<TextError> missing_;
    std::vector<TextError> warnings_;
};

}  // namespace

ImportedText import_text(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    return TextReader(text).read();
}

}  // namespace zav
