// export_text: a record as its configuration text.
//
// The text is written here by hand, not by the TOML library's printer: its
// exact bytes are an interface (an exported text must come back unchanged
// through import and export, also after an update of the library), and it
// carries comments, which the printer cannot write. Only the reading goes
// through the library.
#include <cstdio>
#include <map>

#include "core/config/config_form.h"
#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"
#include "fleet/text/config_text.h"
#include "fleet/text/config_text_fields.h"

namespace zav {

namespace {

using namespace config_text;

using RawBytes = std::map<size_t, uint8_t>;

ConfigRecord with_raw_bytes(const RawBytes& raw) {
    ConfigRecord record = new_record();
    for (const auto& [address, byte] : raw) record[address] = byte;
    return record;
}

// The bytes the raw section must hold so that the text gives the record
// back: found by importing the fields alone and adding every byte that
// came out different, until nothing does. A field left as the raw bytes
// show it keeps them, so this ends after a round or two; should it not,
// or should the window refuse the fields, every byte that differs from a
// new configuration goes in, which gives the record back by itself.
RawBytes raw_bytes_for(const ConfigRecord& record, const RecordView& fields, SetupFitting fitting) {
    RawBytes raw;
    if (fields.check_code == 0) {
        for (int round = 0; round < 4; ++round) {
            ConfigRecord imported;
            if (record_from_fields(fields, with_raw_bytes(raw), fitting, imported)) break;
            if (imported == record) return raw;
            for (size_t address = 0; address < kRecordBytes; ++address) {
                if (imported[address] != record[address]) raw[address] = record[address];
            }
        }
    }
    raw.clear();
    const ConfigRecord blank = new_record();
    for (size_t address = 0; address < kRecordBytes; ++address) {
        if (record[address] != blank[address]) raw[address] = record[address];
    }
    return raw;
}

// A TOML basic string of a text (Windows-1252). Every control character,
// and the five bytes Windows-1252 leaves undefined, as an escape, so that
// what an editor shows is what the record holds.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const uint8_t byte = static_cast<uint8_t>(c);
        const bool undefined = byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F || undefined) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class TextWriter {
public:
    void line(const std::string& text = std::string()) { text_ += text + "\n"; }
    void value(const char* key, const std::string& value, const std::string& comment = std::string()) {
        line(std::string(key) + " = " + value + (comment.empty() ? "" : "  # " + comment));
    }
    // The text is put together in Windows-1252, as all of the program's
    // texts are, and leaves as UTF-8. The escapes above leave no byte that
    // Windows-1252 does not define.
    std::string utf8() const { return utf8_from_cp1252(text_); }

private:
    std::string text_;
};

void write_header(TextWriter& out, bool named, SetupFitting fitting, const FittingLists& lists,
                  const RecordView& fields) {
    out.line("# ZAV 160: Konfiguration als Text (Textformat 1)");
    if (named) {
        out.line("# Geschrieben für die Ausstattung mit den Setup-Bytes " + fitting_name(fitting) + ":");
    } else {
        out.line("# Ohne Ausstattung geschrieben: welche Felder gelten, entscheidet die Ausstattung");
        out.line("# des Geräts. Hier steht jedes Feld, das das Fenster so annimmt:");
    }
    const std::string names = named || lists.tone_pairs.empty() ? "" : " (Namen im Satz 675+x)";
    const std::string tone_pairs = lists.tone_pairs.empty() ? std::string("keiner") : listed(lists.tone_pairs);
    out.line("#   Doppel-Ton: " + tone_pairs + names);
    out.line("#   5-Ton-Adressen: bis " + std::to_string(lists.max_five_tone_count) +
             "; Zusatzrelais: " + std::to_string(lists.relays));
    out.line("# Felder und Werte wie im Fenster \"ZAV-Konfig\". Beim Einlesen gelten dessen");
    out.line("# Prüfungen wie bei \"Sichern\". Text nach # ist Kommentar.");
    if (fields.check_code != 0) {
        out.line(std::string("# Achtung: so nimmt das Fenster diese Konfiguration ") +
                 (named ? "nicht" : "für keine Ausstattung") + " an: " + config_error_text(fields.check_code));
    }
    out.line();
    out.value(kKeyFormat, std::to_string(kConfigTextFormat));
    if (named) out.value(kKeyFitting, quoted(fitting_name(fitting)), "Setup-Byte 1 und 2; für sie gelten die Felder");
    out.line();
}

void write_alarms(TextWriter& out, const RecordView& fields) {
    out.value(kKeyDeadTime, fields.dead_time, "Sekunden");
    out.value(kKeyAlarmPause, fields.alarm_pause, "Sekunden");
    const bool memory_chosen = !fields.alarm_memory.empty();
    out.value(kKeyAlarmMemory, memory_chosen ? fields.alarm_memory : quoted(""),
              memory_chosen ? "0, 1, 2 oder 4" : "keine Auswahl");
    for (const AlarmView& alarm : fields.alarms) {
        out.line();
        out.line(std::string("[[") + kKeyAlarms + "]]");
        out.value(kKeyTonePair, quoted(alarm.tone_pair));
        out.value(kKeyCoding, quoted(alarm.coding));
    }
    out.line();
}

void write_addresses(TextWriter& out, const RecordView& fields) {
    out.line(std::string("[") + kKeyAddresses + "]");
    out.value(kKeyCount, fields.five_tone_count);
    if (fields.five_tone.empty()) {
        out.value(kKeyNumbers, "[]");
    } else {
        out.line(std::string(kKeyNumbers) + " = [");
        for (size_t n = 0; n < fields.five_tone.size(); ++n) {
            out.line("    " + quoted(fields.five_tone[n]) + ",  # Nummer " + std::to_string(n + 1));
        }
        out.line("]");
    }
    out.value(kKeyManual, quoted(fields.manual), fields.manual.empty() ? "keine Auswahl" : "");
    out.line();
}

void write_relays(TextWriter& out, const RecordView& fields) {
    if (fields.relays.empty()) return;
    out.line("# fuenf_ton: Nummer \"1\" bis \"10\", \"alle\" oder \"--\";");
    out.line("# doppel_ton: ein Doppel-Ton oder \"-keiner-\"");
    for (const RelayView& relay : fields.relays) {
        out.line(std::string("[[") + kKeyRelays + "]]  # Relais " + std::to_string(relay.relay));
        out.value(kKeyRelayFiveTone, quoted(relay.five_tone), relay.five_tone.empty() ? "keine Auswahl" : "");
        out.value(kKeyTonePair, quoted(relay.double_tone));
        out.value(kKeyOnTime, relay.on_time, "Sekunden");
        out.line();
    }
}

// One entry per run of addresses that belong to the same field.
void write_raw_bytes(TextWriter& out, const RawBytes& raw, SetupFitting fitting, const FittingLists& lists) {
    out.line("# Bytes des Datensatzes, die die Felder oben nicht zeigen (nach dem Ende einer");
    out.line("# Codierung, Adressen über der Anzahl, Alarme und Relais, die das Gerät nicht hat,");
    out.line("# Werte, die eine Liste nicht anbietet), damit nichts verloren geht:");
    out.line("# Adresse (0 bis 107) = Bytes ab dort, hexadezimal. Wo nichts steht, gilt FF");
    out.line("# wie in einer neuen Konfiguration.");
    out.line(std::string("[") + kKeyRawBytes + "]");
    auto entry = raw.begin();
    while (entry != raw.end()) {
        const size_t first = entry->first;
        const std::string name = record_address_name(first, fitting, lists);
        std::string bytes;
        size_t next = first;
        while (entry != raw.end() && entry->first == next && record_address_name(next, fitting, lists) == name) {
            bytes += (bytes.empty() ? "" : " ") + hex_text(&entry->second, 1);
            ++entry;
            ++next;
        }
        out.value(std::to_string(first).c_str(), quoted(bytes), name);
    }
}

}  // namespace

std::string export_text(const uint8_t* record, std::optional<SetupFitting> fitting) {
    const SetupFitting used = fitting ? *fitting : described_fitting(record);
    ConfigRecord bytes;
    std::copy(record, record + kRecordBytes, bytes.begin());
    const RecordView fields = fields_of_record(bytes, used);
    const FittingLists lists = fitting_lists(used);

    TextWriter out;
    write_header(out, fitting.has_value(), used, lists, fields);
    write_alarms(out, fields);
    write_addresses(out, fields);
    write_relays(out, fields);
    write_raw_bytes(out, raw_bytes_for(bytes, fields, used), used, lists);
    return out.utf8();
}

}  // namespace zav
