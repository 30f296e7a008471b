#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "fleet/record/record_report.h"

namespace zav {
namespace {

// 5-tone entries hold whatever a file or device gives: an escape sequence,
// bytes that are no UTF-8.
TEST(RecordReport, AnyRecordBytesGiveSafeTextAndValidJson) {
    std::array<uint8_t, kRecordBytes> record;
    record.fill(0xFF);
    record[kFiveToneCount] = 1;
    const uint8_t entry[] = {0x1B, '[', '2', 'J', 0x81};
    std::copy(entry, entry + 5, record.begin() + five_tone_entry(0));
    const RecordView view = view_record(record.data(), 0x01, 0x00);

    EXPECT_NE(std::string::npos, record_report(view).find("\\x1b[2J\x81\n"));
    const std::string json = record_json(view).dump();
    EXPECT_NE(std::string::npos, json.find("\"text\":\"\\u001b[2J\xEF\xBF\xBD\""));
}

}  // namespace
}  // namespace zav
