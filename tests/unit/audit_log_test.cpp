#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/audit_log_reader.h"
#include "cli/sha256.h"

namespace zav::cli {
namespace {

using nlohmann::json;

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
    const std::string cut = logged(2).dump();
    const std::vector<Refusal> refusals = {
        {"cut short by a crash", cut.substr(0, cut.size() / 2), "kein gültiges JSON (Fehler bei Zeichen "},
        {"not an object", "[1, 2]", "kein JSON-Objekt"},
        {"another schema", with(logged(2), "schema", 2).dump(), "Schema 2 ist unbekannt"},
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

}  // namespace
}  // namespace zav::cli
