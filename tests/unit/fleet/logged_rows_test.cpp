// A series started again with its log goes on from what the log's lines
// say, in their order: the rows done, the devices that may hold a row's
// record without having been verified, and the devices left for the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet/log/audit_line.h"
#include "fleet/log/logged_rows.h"
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

constexpr SetupFitting kFull{0xBF, 0x01};

class LoggedRowsTest : public testing::Test {
protected:
    void SetUp() override {
        const ExampleFile* file = nullptr;
        for (const ExampleFile& example : kExamples) {
            if (std::string(example.name) == "voll-10-adressen-4-relais.zcf") file = &example;
        }
        ASSERT_NE(file, nullptr);
        const std::string bytes(file->bytes.begin(), file->bytes.end());
        ASSERT_TRUE(configuration_from_bytes(bytes, source_).ok());
        const PlanReading reading =
            parse_plan("bezeichnung;adressen.nummern.1\nLF 20;21401\nHLF 20;21402\nDLK 23-12;21403\n");
        ASSERT_TRUE(reading.ok);
        plan_ = reading.plan;
    }

    // Row n's line (n from 1) with that outcome, for the record the row
    // gives, or another.
    std::string line(size_t n, DeviceOutcome outcome, bool written, bool own_record = true) {
        const PlannedRecords records(source_, &plan_, "plan.csv");
        AuditLine line;
        line.time = "2026-12-08T09:15:02+01:00";
        line.command = "program";
        line.device_number = static_cast<int>(n);
        line.setup = {kFull.setup_byte1, kFull.setup_byte2, 0x2F, 0x02, 0x1E};
        take_plan_row(line, plan_.rows[n - 1]);
        ConfigRecord record;
        EXPECT_TRUE(records.record_for_fitting(&plan_.rows[n - 1], kFull, record));
        if (!own_record) record[1] ^= 0x01;
        line.record = record;
        line.outcome = outcome;
        line.exit_code = outcome == DeviceOutcome::kFailed ? 3 : 0;
        line.written = written;
        return audit_line_json(line).dump() + "\n";
    }

    LoggedRows read(const std::string& log) {
        const PlannedRecords records(source_, &plan_, "plan.csv");
        return logged_rows(records, plan_, log, nullptr);
    }

    ConfigurationSource source_;
    Plan plan_;
};

TEST_F(LoggedRowsTest, CountsTheDevicesThatMayHoldARowUnverifiedAsTheSeriesDid) {
    const LoggedRows logged = read(
        // Row 1: written twice and not verified, then found holding it: one
        // of the two may still be about.
        line(1, DeviceOutcome::kFailed, true) + line(1, DeviceOutcome::kFailed, true) +
        line(1, DeviceOutcome::kUnchanged, false) +
        // Row 2: cut off before its last block, then programmed by another.
        line(2, DeviceOutcome::kFailed, false) + line(2, DeviceOutcome::kProgrammed, true) +
        // Row 3: written unverified; a device of another record's line says
        // nothing of it; a device left for the user holding row 1's record.
        line(3, DeviceOutcome::kFailed, true) + line(3, DeviceOutcome::kProgrammed, true, false) +
        line(1, DeviceOutcome::kNeedsAttention, false) + line(1, DeviceOutcome::kNeedsAttention, false));
    EXPECT_EQ(logged.done, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(logged.unverified, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(logged.attention, (std::vector<size_t>{0}));
    EXPECT_TRUE(logged.skipped.empty());
}

}  // namespace
}  // namespace zav
