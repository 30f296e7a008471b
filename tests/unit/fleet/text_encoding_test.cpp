#include <gtest/gtest.h>

#include "core/config/config_file.h"
#include "fleet/base/text_encoding.h"

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

// A configuration text carries record bytes as characters and must give
// every one of them back; what Windows-1252 cannot hold is refused where it
// stands.
TEST(TextEncoding, ExactBothWays) {
    std::string every_byte;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D) every_byte += static_cast<char>(byte);
    }
    std::string back;
    size_t bad = 0;
    ASSERT_TRUE(cp1252_from_utf8_exact(utf8_from_cp1252(every_byte), back, bad));
    EXPECT_EQ(every_byte, back);
    ASSERT_TRUE(cp1252_from_utf8_exact("\xC2\x81\xC2\x9D", back, bad));  // the undefined ones, as escapes give them
    EXPECT_EQ("\x81\x9D", back);

    EXPECT_FALSE(cp1252_from_utf8_exact("ab\xE2\x86\x92" "c", back, bad));  // an arrow
    EXPECT_EQ(2u, bad);
    EXPECT_FALSE(cp1252_from_utf8_exact("\xC3\xBC\xEF\xBF\xBD", back, bad));  // U+FFFD after an u-umlaut
    EXPECT_EQ(2u, bad);
    EXPECT_FALSE(cp1252_from_utf8_exact("x\xFC", back, bad));  // Windows-1252, not UTF-8
    EXPECT_EQ(1u, bad);
}

}  // namespace
}  // namespace zav
