#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fleet/base/sha256.h"
#include "fleet/log/audit_log_reader.h"

namespace zav {
namespace {

using json = nlohmann::ordered_json;

std::string record_hex(uint8_t fill) { return std::string(2 * kRecordBytes, "0123456789ABCDEF"[fill & 0x0F]); }

std::string digest_of_hex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return sha256_hex(bytes.data(), bytes.size());
}

// A line as the series writes it, for device n of a plan.
json logged(int n, const char* outcome = "programmed") {
    const std::string record = record_hex(static_cast<uint8_t>(n));
    return {{"schema", 1},
            {"time", "2026-12-08T09:15:02+01:00"},
            {"zavctl", "2.30"},
            {"command", "program"},
            {"port", "/dev/ttyUSB0"},
            {"adapter", nullptr},
            {"operator", "mueller"},
            {"device", {{"number", n}, {"version", "2.30"}, {"setup", "BF073C020A"}, {"tone_set", "A"}}},
            {"plan", {{"row", n}, {"label", "LF 20 Fahrer"}}},
            {"file", "fahrzeug.toml"},
            {"record", record},
            {"sha256", digest_of_hex(record)},
            {"backup", nullptr},
            {"outcome", outcome},
            {"exit_code", 0},
            {"message", "Verifikation OK !"},
            {"differences", json::array()},
            {"retries", 0},
            {"duration_s", 4.81}};
}

TEST(AuditLog, ReadsEveryLineAndPassesOverBlankOnes) {
    json failed = logged(2, "failed");
    failed["device"] = nullptr;
    failed["record"] = nullptr;
    failed["sha256"] = nullptr;
    failed["exit_code"] = 3;
    json differs = logged(3, "differs");
    differs["differences"] = {{{"field", "5-Ton Nummer 1"}, {"expected", "12345"}, {"found", nullptr}}};
    const std::string log = logged(1).dump() + "\r\n\n" + failed.dump() + "\n" + differs.dump() + "\n";

    const AuditLogReading reading = read_audit_log(log);
    ASSERT_TRUE(reading.ok) << reading.error;
    ASSERT_EQ(3u, reading.entries.size());
    const AuditEntry& first = reading.entries[0];
    EXPECT_EQ(1u, first.line);
    EXPECT_EQ("LF 20 Fahrer", first.label);
    EXPECT_EQ(1, first.plan_row.value_or(0));
    EXPECT_EQ((std::array<uint8_t, kSetupBlockBytes>{0xBF, 0x07, 0x3C, 0x02, 0x0A}), first.setup.value());
    EXPECT_EQ(0x11, first.record.value()[107]);
    EXPECT_EQ(3u, reading.entries[1].line);
    EXPECT_FALSE(reading.entries[1].record.has_value());
    ASSERT_EQ(1u, reading.entries[2].differences.size());
    EXPECT_EQ("12345", reading.entries[2].differences[0].expected.value_or(""));
    EXPECT_FALSE(reading.entries[2].differences[0].found.has_value());
}

struct Refusal {
    const char* what;
    std::string line;  // the log's second line
    std::string said;  // the start of the error
};

json without(json line, const char* key) {
    line.erase(key);
    return line;
}

json with(json line, const char* key, json value) {
    line[key] = std::move(value);
    return line;
}

TEST(AuditLog, RefusesALineThatIsNotWhatTheLogPromises) {
    json device_number_too_large = logged(2);
    device_number_too_large["device"]["number"] = 4294967297ULL;
    json row_negative = logged(2);
    row_negative["plan"]["row"] = -1;
    const std::vector<Refusal> refusals = {
        {"not an object", "[1, 2]", "kein JSON-Objekt"},
        {"another schema", with(logged(2), "schema", 2).dump(), "Schema 2 ist unbekannt"},
        // Numbers outside their range are refused, never cut to fit (as an
        // int, 4294967297 is 1).
        {"a schema beyond an int", with(logged(2), "schema", 4294967297ULL).dump(), "Schema 4294967297 ist unbekannt"},
        {"a schema as a fraction", with(logged(2), "schema", 1.0).dump(), "Schema 1.0 ist unbekannt"},
        {"a device number beyond an int", device_number_too_large.dump(),
         "\"device.number\" ist 4294967297, erlaubt ist 1 bis 2147483647"},
        {"a negative plan row", row_negative.dump(), "\"plan.row\" ist -1, erlaubt ist 1 bis"},
        {"an exit code beyond a byte", with(logged(2), "exit_code", 256).dump(), "\"exit_code\" ist 256, erlaubt ist 0 bis 255"},
        {"negative retries", with(logged(2), "retries", -1).dump(), "\"retries\" ist -1"},
        {"a negative duration", with(logged(2), "duration_s", -0.5).dump(), "\"duration_s\" ist -0.5, keine Dauer"},
        {"a duration as text", with(logged(2), "duration_s", "4.8").dump(), "\"duration_s\" ist keine Zahl"},
        {"a key missing", without(logged(2), "backup").dump(), "der Schlüssel \"backup\" fehlt"},
        {"a key missing inside", with(logged(2), "plan", {{"row", 2}}).dump(), "der Schlüssel \"plan.label\" fehlt"},
        {"a record of the wrong length", with(logged(2), "record", "00FF").dump(),
         "\"record\" ist keine Folge von 216"},
        {"a digest of another record", with(logged(2), "sha256", digest_of_hex(record_hex(9))).dump(),
         "\"sha256\" ist nicht die Prüfsumme von \"record\""},
        {"no record for a device reached", with(logged(2), "record", nullptr).dump(),
         "\"record\" fehlt, obwohl das Ergebnis \"programmed\" ist"},
        {"a number as text", with(logged(2), "exit_code", "0").dump(), "\"exit_code\" ist keine ganze Zahl"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const AuditLogReading reading = read_audit_log(logged(1).dump() + "\n" + refusal.line + "\n");
        ASSERT_FALSE(reading.ok);
        EXPECT_EQ(2u, reading.error_line);
        EXPECT_EQ(refusal.said, reading.error.substr(0, refusal.said.size()));
    }
}

// What a power loss or a full disk leaves: a line cut off in the middle,
// or a last line without its end. It is passed over and named; the lines
// around it are read.
TEST(AuditLog, PassesOverALineCutOffAndNamesIt) {
    const std::string second = logged(2).dump();
    const std::string fourth = logged(4).dump();
    const std::string log = logged(1).dump() + "\n" + second.substr(0, second.size() / 2) + "\n" +
                            logged(3).dump() + "\n" + fourth.substr(0, fourth.size() - 1);

    const AuditLogReading reading = read_audit_log(log);
    ASSERT_TRUE(reading.ok) << reading.error;
    ASSERT_EQ(2u, reading.entries.size());
    EXPECT_EQ(1u, reading.entries[0].line);
    EXPECT_EQ(3u, reading.entries[1].line);
    ASSERT_EQ(2u, reading.skipped.size());
    EXPECT_EQ(2u, reading.skipped[0].line);
    EXPECT_EQ(4u, reading.skipped[1].line);
    const std::string said = "serie.jsonl, Zeile 2: kein gültiges JSON (Fehler bei Zeichen ";
    EXPECT_EQ(said, skipped_line_text("serie.jsonl", reading.skipped[0]).substr(0, said.size()));

    // A series looking for the rows done passes over every line that is not
    // what the log promises, and names it too.
    const AuditLogReading tolerant =
        read_audit_log(log + "\n" + without(logged(5), "backup").dump() + "\n", FaultyLines::kPassOver);
    ASSERT_TRUE(tolerant.ok);
    ASSERT_EQ(3u, tolerant.skipped.size());
    EXPECT_EQ(5u, tolerant.skipped[2].line);
    EXPECT_EQ("der Schlüssel \"backup\" fehlt", tolerant.skipped[2].reason);
}

// The plan's columns kept beside the fields, read back in the plan's order;
// a line written before they existed still reads.
TEST(AuditLog, ReadsThePlansInventoryNumberRemarkAndValues) {
    json line = logged(1);
    line["plan"] = {{"row", 2}, {"label", "LF 20 Fahrer"}, {"inventory_number", "00815"}, {"remark", "neu"},
                    {"values", {{"zusatzrelais.1.ein_zeit", "10"}, {"adressen.nummern.1", "01401"}}}};
    const AuditLogReading reading = read_audit_log(line.dump() + "\n" + logged(2).dump() + "\n");
    ASSERT_TRUE(reading.ok) << reading.error;
    const AuditEntry& entry = reading.entries[0];
    EXPECT_EQ("00815", entry.inventory_number);
    EXPECT_EQ("neu", entry.remark);
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"zusatzrelais.1.ein_zeit", "10"},
                                                                {"adressen.nummern.1", "01401"}}),
              entry.plan_values);
    EXPECT_EQ("", reading.entries[1].inventory_number);
    EXPECT_TRUE(reading.entries[1].plan_values.empty());
}

}  // namespace
}  // namespace zav
