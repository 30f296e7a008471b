#include <gtest/gtest.h>

#include "cli/text_encoding.h"
#include "core/config/config_file.h"

namespace zav {
namespace {

TEST(TextEncoding, Cp1252ToUtf8) {
    EXPECT_EQ("Ung\xC3\xBCltige Datei !", utf8_from_cp1252(kConfigFileInvalid));
    EXPECT_EQ("\xE2\x82\xAC", utf8_from_cp1252("\x80"));
    EXPECT_EQ("\xC5\xB8", utf8_from_cp1252("\x9F"));  // the table's last entry, Y with diaeresis
    EXPECT_EQ("\xC3\xBF", utf8_from_cp1252("\xFF"));
    EXPECT_EQ("\xEF\xBF\xBD", utf8_from_cp1252("\x81"));  // undefined in Windows-1252
}

TEST(TextEncoding, Utf8NamesToCp1252) {
    EXPECT_EQ("Pr\xFC" "fung.zcf", cp1252_from_utf8("Pr\xC3\xBC" "fung.zcf"));
    EXPECT_EQ("\x80", cp1252_from_utf8("\xE2\x82\xAC"));
    // No Windows-1252 character, a cut sequence, a stray byte: each one '?'.
    EXPECT_EQ("a?b", cp1252_from_utf8("a\xE2\x88\x9E" "b"));
    EXPECT_EQ("x??", cp1252_from_utf8("x\xC3\xFF"));
}

}  // namespace
}  // namespace zav
