#include <gtest/gtest.h>

#include "cli/text_encoding.h"
#include "config/config_file.h"

namespace zav {
namespace {

TEST(TextEncoding, Cp1252ToUtf8) {
    EXPECT_EQ("Ung\xC3\xBCltige Datei !", utf8_from_cp1252(kConfigFileInvalid));
    EXPECT_EQ("\xE2\x82\xAC", utf8_from_cp1252("\x80"));
    EXPECT_EQ("\xC5\xB8", utf8_from_cp1252("\x9F"));  // the table's last entry, Y with diaeresis
    EXPECT_EQ("\xC3\xBF", utf8_from_cp1252("\xFF"));
    EXPECT_EQ("\xEF\xBF\xBD", utf8_from_cp1252("\x81"));  // undefined in Windows-1252
}

}  // namespace
}  // namespace zav
