// Whatever an append of a device's line left in the log, the series counts
// the device as logged exactly when a reader of the log (a restart, report)
// finds its line.
#include <gtest/gtest.h>

#include <string>

#include "cli/output/audit_log.h"
#include "fleet/log/audit_log_reader.h"

namespace zav::cli {
namespace {

TEST(AuditLogAppend, TheSeriesCountsALineLoggedExactlyWhenTheLogsReaderFindsIt) {
    AuditLine line;
    line.command = "program";
    line.time = "2026-12-08T09:15:02+01:00";
    const std::string text = audit_line_json(line).dump() + "\n";
    struct Left {
        AppendResult result;
        size_t part_left;
    };
    const Left cases[] = {{AppendResult::kWritten, 0},
                          {AppendResult::kUnconfirmed, 0},
                          {AppendResult::kNotWritten, 0},
                          {AppendResult::kPartLeft, 1},
                          {AppendResult::kPartLeft, text.size() / 2},
                          {AppendResult::kPartLeft, text.size() - 2},
                          {AppendResult::kPartLeft, text.size() - 1},
                          {AppendResult::kPartLeft, text.size()}};
    for (const Left& left : cases) {
        const std::string in_log =
            left.result == AppendResult::kPartLeft ? text.substr(0, left.part_left)
            : left.result == AppendResult::kNotWritten ? std::string()
                                                       : text;
        const AuditLogReading reading = read_audit_log(in_log, FaultyLines::kPassOver);
        EXPECT_EQ(holds_whole_line(left.result, left.part_left, text.size()), reading.entries.size() == 1)
            << static_cast<int>(left.result) << ", " << left.part_left << " bytes left";
    }
}

}  // namespace
}  // namespace zav::cli
