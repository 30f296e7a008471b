#include "fleet/log/audit_log_reader.h"

#include <cstdint>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "fleet/base/hex.h"
#include "fleet/base/sha256.h"
#include "fleet/base/text_encoding.h"
#include "fleet/log/device_outcome.h"

namespace zav {

namespace {

// Ordered: the plan's values keep the order of its columns.
using json = nlohmann::ordered_json;

// Every key the schema promises, in its order.
constexpr const char* kKeys[] = {"schema", "time",   "zavctl",  "command", "port",      "adapter",
                                 "operator", "device", "plan",   "file",    "record",    "sha256",
                                 "backup", "outcome", "exit_code", "message", "differences", "retries",
                                 "duration_s"};

// What is wrong with a line; caught where the line is read.
struct LineFault {
    std::string text;  // Windows-1252
};

std::string in_quotes(const std::string& key) { return "\"" + key + "\""; }

[[noreturn]] void fault(const std::string& text) { throw LineFault{text}; }

const json& member(const json& object, const char* key, const std::string& where = std::string()) {
    const auto found = object.find(key);
    if (found == object.end()) fault("der Schlüssel " + in_quotes(where + key) + " fehlt");
    return *found;
}

// A text, or "" for null.
std::string text_or_null(const json& object, const char* key, const std::string& where = std::string()) {
    const json& value = member(object, key, where);
    if (value.is_null()) return std::string();
    if (!value.is_string()) fault(in_quotes(where + key) + " ist kein Text");
    return value.get<std::string>();
}

constexpr long long kMostInt = std::numeric_limits<int>::max();

// A whole number from low to high, or nothing for null. A number outside
// is refused, never cut to fit: 4294967297 must not read as 1.
std::optional<int> number_or_null(const json& object, const char* key, long long low, long long high,
                                  const std::string& where = std::string()) {
    const json& value = member(object, key, where);
    if (value.is_null()) return std::nullopt;
    if (!value.is_number_integer()) fault(in_quotes(where + key) + " ist keine ganze Zahl");
    const bool in_range = value.is_number_unsigned()
                              ? value.get<uint64_t>() <= static_cast<uint64_t>(high) &&
                                    (low <= 0 || value.get<uint64_t>() >= static_cast<uint64_t>(low))
                              : value.get<int64_t>() >= low && value.get<int64_t>() <= high;
    if (!in_range) {
        fault(in_quotes(where + key) + " ist " + value.dump() + ", erlaubt ist " + std::to_string(low) + " bis " +
              std::to_string(high));
    }
    return static_cast<int>(value.is_number_unsigned() ? static_cast<long long>(value.get<uint64_t>())
                                                       : static_cast<long long>(value.get<int64_t>()));
}

// A number of seconds: not negative, and finite.
void check_seconds(const json& object, const char* key) {
    const json& value = member(object, key);
    if (!value.is_number()) fault(in_quotes(key) + " ist keine Zahl");
    const double seconds = value.get<double>();
    if (!(seconds >= 0.0 && seconds <= 1e9)) fault(in_quotes(key) + " ist " + value.dump() + ", keine Dauer");
}

// Hex text of exactly N bytes, or nothing for null.
template <size_t N>
std::optional<std::array<uint8_t, N>> hex_or_null(const json& object, const char* key,
                                                  const std::string& where = std::string()) {
    const std::string text = text_or_null(object, key, where);
    if (text.empty() && member(object, key, where).is_null()) return std::nullopt;
    std::array<uint8_t, N> bytes{};
    if (!parse_hex(text, bytes.data(), N)) fault(in_quotes(where + key) + " ist keine Folge von " + std::to_string(2 * N) + " Hex-Ziffern");
    return bytes;
}

std::string lower_case(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<LoggedDifference> differences_of(const json& line) {
    const json& list = member(line, "differences");
    if (!list.is_array()) fault(in_quotes("differences") + " ist keine Liste");
    std::vector<LoggedDifference> differences;
    for (const json& item : list) {
        if (!item.is_object()) fault(in_quotes("differences") + " enthält etwas anderes als Objekte");
        const std::string where = "differences.";
        LoggedDifference difference{text_or_null(item, "field", where), std::nullopt, std::nullopt};
        if (!member(item, "expected", where).is_null()) difference.expected = text_or_null(item, "expected", where);
        if (!member(item, "found", where).is_null()) difference.found = text_or_null(item, "found", where);
        differences.push_back(std::move(difference));
    }
    return differences;
}

std::vector<std::pair<std::string, std::string>> plan_values_of(const json& values) {
    if (!values.is_object()) fault(in_quotes("plan.values") + " ist kein Objekt");
    std::vector<std::pair<std::string, std::string>> read;
    for (const auto& [key, value] : values.items()) {
        if (!value.is_string()) fault(in_quotes("plan.values." + key) + " ist kein Text");
        read.emplace_back(key, value.get<std::string>());
    }
    return read;
}

// The line as JSON. A key twice in one object is refused: readers differ on
// which of the two counts, so such a line says two things, and zavctl never
// writes one. Only a whole line is judged so; one cut short is no JSON.
json parsed_line(std::string_view text) {
    std::vector<std::set<std::string>> keys;  // those of each object open at this point
    std::string twice;
    json line = json::parse(text, [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) keys.emplace_back();
        if (event == json::parse_event_t::object_end) keys.pop_back();
        if (event == json::parse_event_t::key && !keys.back().insert(parsed.get<std::string>()).second &&
            twice.empty()) {
            twice = parsed.get<std::string>();
        }
        return true;
    });
    if (!twice.empty()) fault("der Schlüssel " + in_quotes(twice) + " steht zweimal");
    return line;
}

AuditEntry entry_of(const json& line) {
    if (!line.is_object()) fault("kein JSON-Objekt");
    const json& schema = member(line, "schema");
    if (!schema.is_number_integer() || schema != json(kAuditLogSchema)) {
        fault("Schema " + schema.dump() + " ist unbekannt (zavctl " ZAV_VERSION_TEXT " liest Schema " +
              std::to_string(kAuditLogSchema) + ")");
    }
    for (const char* key : kKeys) member(line, key);

    AuditEntry entry;
    entry.time = text_or_null(line, "time");
    entry.zavctl = text_or_null(line, "zavctl");
    entry.command = text_or_null(line, "command");
    entry.port = text_or_null(line, "port");
    entry.operator_name = text_or_null(line, "operator");
    entry.file = text_or_null(line, "file");
    entry.message = text_or_null(line, "message");
    entry.outcome = text_or_null(line, "outcome");
    if (entry.outcome.empty()) fault(in_quotes("outcome") + " fehlt (null oder leer)");
    const std::optional<int> exit_code = number_or_null(line, "exit_code", 0, 255);
    if (!exit_code) fault(in_quotes("exit_code") + " fehlt (null)");
    entry.exit_code = *exit_code;
    const std::optional<int> retries = number_or_null(line, "retries", 0, kMostInt);
    if (!retries) fault(in_quotes("retries") + " fehlt (null)");
    entry.retries = *retries;
    // Lines written before these keys lack them.
    if (line.contains("written") && !line["written"].is_null()) {
        if (!line["written"].is_boolean()) fault(in_quotes("written") + " ist weder true noch false");
        entry.written = line["written"].get<bool>();
    }
    if (line.contains("first_message")) entry.first_message = text_or_null(line, "first_message");
    check_seconds(line, "duration_s");

    const json& device = line["device"];
    if (!device.is_null()) {
        if (!device.is_object()) fault(in_quotes("device") + " ist kein Objekt");
        entry.device_number = number_or_null(device, "number", 1, kMostInt, "device.");
        entry.setup = hex_or_null<kSetupBlockBytes>(device, "setup", "device.");
    }
    const json& plan = line["plan"];
    if (!plan.is_null()) {
        if (!plan.is_object()) fault(in_quotes("plan") + " ist kein Objekt");
        entry.plan_row = number_or_null(plan, "row", 1, kMostInt, "plan.");
        entry.label = text_or_null(plan, "label", "plan.");
        // Logs written before these keys lack them.
        if (plan.contains("inventory_number")) entry.inventory_number = text_or_null(plan, "inventory_number", "plan.");
        if (plan.contains("remark")) entry.remark = text_or_null(plan, "remark", "plan.");
        if (plan.contains("values")) entry.plan_values = plan_values_of(plan["values"]);
    }
    entry.record = hex_or_null<kRecordBytes>(line, "record");
    const std::optional<std::array<uint8_t, 32>> digest = hex_or_null<32>(line, "sha256");
    if (digest) entry.sha256 = lower_case(line["sha256"].get<std::string>());
    entry.differences = differences_of(line);

    // A device that was reached has a fitting and a record, and the record
    // is the one the digest names: else the sheet would vouch for bytes the
    // log does not hold.
    if (outcome_named(entry.outcome) != DeviceOutcome::kFailed) {
        const std::string because = " fehlt, obwohl das Ergebnis " + in_quotes(entry.outcome) + " ist";
        if (!entry.setup) fault(in_quotes("device.setup") + because);
        if (!entry.record) fault(in_quotes("record") + because);
        if (!digest) fault(in_quotes("sha256") + because);
    }
    if (entry.record && digest && sha256_hex(entry.record->data(), kRecordBytes) != entry.sha256) {
        fault(in_quotes("sha256") + " ist nicht die Prüfsumme von " + in_quotes("record") +
              " (Protokoll verändert oder beschädigt?)");
    }
    return entry;
}

}  // namespace

AuditLogReading read_audit_log(std::string_view bytes, FaultyLines faulty) {
    AuditLogReading reading;
    size_t line_number = 0;
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = bytes.find('\n', begin);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view text = bytes.substr(begin, end - begin);
        begin = end + 1;
        ++line_number;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
        std::string fault_text;
        bool cut_off = false;
        try {
            AuditEntry entry = entry_of(parsed_line(text));
            entry.line = line_number;
            reading.entries.push_back(std::move(entry));
            continue;
        } catch (const json::parse_error& error) {
            fault_text = "kein gültiges JSON (Fehler bei Zeichen " + std::to_string(error.byte) +
                         "; unvollständig geschrieben?)";
            cut_off = true;
        } catch (const LineFault& error) {
            fault_text = error.text;
        } catch (const json::exception&) {
            fault_text = "ein Wert hat nicht die Art, die das Schema nennt";
        }
        if (cut_off || faulty == FaultyLines::kPassOver) {
            reading.skipped.push_back({line_number, fault_text});
            continue;
        }
        reading.error_line = line_number;
        reading.error = fault_text;
        return reading;
    }
    reading.ok = true;
    return reading;
}

std::string skipped_line_text(const std::string& log_name, const SkippedLine& skipped) {
    return log_name + ", Zeile " + std::to_string(skipped.line) + ": " + skipped.reason + "; übergangen.";
}

}  // namespace zav
