// The one spelling of bytes as hex digits: what each reader of it (a
// setup block on the command line, a record in the log, the raw bytes of a
// configuration text) may be given and must refuse.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fleet/base/hex.h"

namespace zav {
namespace {

TEST(Hex, ReadsBackWhatItWritesAndRefusesEverythingElse) {
    const uint8_t setup[] = {0xBF, 0x07, 0x3C, 0x02, 0x0A};
    EXPECT_EQ("BF073C020A", hex_text(setup, 5));
    EXPECT_EQ("BF 07 3C 02 0A", hex_text(setup, 5, " "));
    EXPECT_EQ("bf073c020a", hex_text(setup, 5, "", HexCase::kLower));
    EXPECT_EQ("0x0A", hex_byte(0x0A));

    uint8_t read[5] = {};
    EXPECT_TRUE(parse_hex("bf073C020a", read, 5));
    EXPECT_EQ(std::vector<uint8_t>(setup, setup + 5), std::vector<uint8_t>(read, read + 5));
    // Exactly as many bytes as asked, and the bytes untouched otherwise.
    const uint8_t untouched[5] = {1, 2, 3, 4, 5};
    for (const char* wrong : {"BF073C020", "BF073C020A0B", "BF 073C020A", "BF073C020G", ""}) {
        uint8_t kept[5] = {1, 2, 3, 4, 5};
        EXPECT_FALSE(parse_hex(wrong, kept, 5)) << wrong;
        EXPECT_EQ(std::vector<uint8_t>(untouched, untouched + 5), std::vector<uint8_t>(kept, kept + 5)) << wrong;
    }

    // Blanks only where a person may write them, and never half a byte.
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(parse_hex(" 30 31  ff", bytes, HexBlanks::kPassedOver));
    EXPECT_EQ((std::vector<uint8_t>{0x30, 0x31, 0xFF}), bytes);
    EXPECT_FALSE(parse_hex("30 31", bytes));
    for (const char* wrong : {"30 3", "303", "  ", "30,31", "30\t31"}) {
        EXPECT_FALSE(parse_hex(wrong, bytes, HexBlanks::kPassedOver)) << wrong;
    }
}

}  // namespace
}  // namespace zav
