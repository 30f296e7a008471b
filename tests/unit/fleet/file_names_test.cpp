#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fleet/base/file_names.h"

namespace zav {
namespace {

// A label becomes one part of a file name on Linux and Windows alike: no
// separator, no character a file system refuses, umlauts spelled out.
TEST(FileNames, LabelsBecomeSafeFileNameParts) {
    EXPECT_EQ("LF-20-Fahrer", file_name_part("LF 20 Fahrer"));
    EXPECT_EQ("ELW-1-Fuehrung-Ost", file_name_part("ELW 1 F\xc3\xbchrung / Ost"));
    EXPECT_EQ("Strasse-Oel", file_name_part("  Stra\xc3\x9f""e:\xc3\x96l\\..  "));
    EXPECT_EQ("Geraet", file_name_part("../"));
    EXPECT_EQ("a-b", file_name_part("a\xe2\x86\x92" "b"));  // a character without a spelling
    EXPECT_EQ(40u, file_name_part(std::string(60, 'x')).size());
}

TEST(FileNames, NamesTellDateTimeLabelAndRecord) {
    uint8_t record[108];
    for (int i = 0; i < 108; ++i) record[i] = static_cast<uint8_t>(i);
    EXPECT_EQ("2026-12-08_091502_LF-20-Fahrer_44d21db7.zcf",
              backup_file_name("2026-12-08T09:15:02+01:00", "LF 20 Fahrer", record));
    EXPECT_EQ("zavctl-serie-2026-12-08-091502.jsonl", default_series_log_name("2026-12-08T09:15:02+01:00"));
    EXPECT_EQ("LF-20-Fahrer_2026-12-08.zcf", series_copy_file_name("LF 20 Fahrer", "2026-12-08T09:15:02+01:00"));
}

}  // namespace
}  // namespace zav
