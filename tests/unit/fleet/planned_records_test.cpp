// The record a series gives each row is the template with the row's values,
// made once for the series' type; a series started again finds a row done by
// the very same bytes, and a row the type's field checks refuse stops the
// series before any device is written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fleet/plan/planned_records.h"
#include "fleet/text/configuration_source.h"

namespace zav {
namespace {

struct ExampleFile {
    const char* name;
    std::vector<uint8_t> bytes;
};

const std::vector<ExampleFile> kExamples = {
#include "example_files.inc"
};

ConfigurationSource full_example() {
    ConfigurationSource source;
    for (const ExampleFile& example : kExamples) {
        if (std::string(example.name) != "voll-10-adressen-4-relais.zcf") continue;
        EXPECT_TRUE(configuration_from_bytes(std::string(example.bytes.begin(), example.bytes.end()), source).ok());
    }
    return source;
}

Plan plan_of(const std::string& csv) {
    const PlanReading reading = parse_plan(csv);
    EXPECT_TRUE(reading.ok);
    return reading.plan;
}

TEST(PlannedRecords, EachRowGetsTheTemplateWithItsValuesTheSameForTheSeriesAndForItsLog) {
    const ConfigurationSource source = full_example();
    const Plan plan = plan_of("bezeichnung;adressen.nummern.1;totzeit\nLF 20;21401;45\nHLF 20;21402;\n");
    PlannedRecords records(source, &plan, "plan.csv");
    ASSERT_TRUE(records.check_rows().ok());
    const uint8_t setup[kSetupBlockBytes] = {0xBF, 0x01, 0x2F, 0x02, 0x1E};
    ASSERT_TRUE(records.take_type(setup).ok());

    const uint8_t* template_record = source.image.bytes;
    for (const PlanRow& row : plan.rows) {
        const uint8_t* given = records.record_for(&row);
        ASSERT_NE(given, nullptr);
        EXPECT_EQ(0, std::memcmp(given + 1, row.device == 1 ? "21401" : "21402", 5)) << row.label_cp1252;
        ConfigRecord logged;
        ASSERT_TRUE(records.record_for_fitting(&row, {setup[0], setup[1]}, logged));
        EXPECT_EQ(0, std::memcmp(given, logged.data(), kRecordBytes)) << row.label_cp1252;
    }
    // The first row's dead time is its own; the second, whose cell is empty, keeps the template's.
    const uint8_t* first = records.record_for(&plan.rows[0]);
    const uint8_t* second = records.record_for(&plan.rows[1]);
    EXPECT_NE(0, std::memcmp(first + 6, second + 6, kRecordBytes - 6));
    EXPECT_EQ(0, std::memcmp(second + 6, template_record + 6, kRecordBytes - 6));
}

TEST(PlannedRecords, ARowTheTypeRefusesStopsTheSeriesNamingItsRowAndColumn) {
    const ConfigurationSource source = full_example();
    // The third relay's on-time, given to a type with two relays.
    const Plan plan = plan_of("bezeichnung;zusatzrelais.3.ein_zeit\nLF 20;\nHLF 20;30\n");
    PlannedRecords records(source, &plan, "plan.csv");
    ASSERT_TRUE(records.check_rows().ok());  // fine for some type
    const uint8_t two_relays[kSetupBlockBytes] = {0x7F, 0x01, 0x11, 0x02, 0x1E};
    const Outcome taken = records.take_type(two_relays);
    EXPECT_FALSE(taken.ok());
    EXPECT_EQ(0u, taken.message.find("Plan plan.csv, Zeile 3, Spalte 2: ")) << taken.message;
    EXPECT_NE(std::string::npos, taken.detail.find("bevor ein Gerät beschrieben wird")) << taken.detail;
    EXPECT_EQ(records.record_for(&plan.rows[0]), nullptr);  // no record is left to be given
}

}  // namespace
}  // namespace zav
