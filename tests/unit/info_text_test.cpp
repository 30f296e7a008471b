#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/info/info_text.h"

namespace zav {
namespace {

std::vector<std::string> info_lines(uint8_t byte1, uint8_t byte2, uint8_t major, uint8_t minor) {
    ConfigImage image;
    set_image_start_values(image);
    image.bytes[kSetupByte1] = byte1;
    image.bytes[kSetupByte2] = byte2;
    image.bytes[kSetupCheck] = 0x7F;
    image.bytes[kVersionMajor] = major;
    image.bytes[kVersionMinor] = minor;
    InfoText text;
    build_info_text(image, text);
    return std::vector<std::string>(text.lines, text.lines + text.line_count);
}

using Lines = std::vector<std::string>;

TEST(InfoText, NoAlarmsGivesElevenLines) {
    EXPECT_EQ((Lines{"Doppelton:", "5-Ton Adressen:", "max.5", "Zusatzrelais:", "0", "Doppelton-Dauer:",
                     "2000ms", "Rufton-Dauer", "70ms", "SW-Version:", "2.3"}),
              info_lines(0x00, 0x00, 2, 3));
}

TEST(InfoText, EverythingSetGivesSixteenLines) {
    EXPECT_EQ((Lines{"Doppelton:", "675/1240", "675/1860", "675/2280", "675/825", "675/1010", "5-Ton Adressen:",
                     "max.10", "Zusatzrelais:", "bis zu 2", "Doppelton-Dauer:", "700ms", "Rufton-Dauer", "100ms",
                     "SW-Version:", "4.10"}),
              info_lines(0x7F, 0x07, 4, 10));
}

TEST(InfoText, SetBToneAndFourRelays) {
    const Lines lines = info_lines(0x95, 0x00, 255, 255);
    ASSERT_EQ(14u, lines.size());
    EXPECT_EQ((Lines{"675/1240", "1240/2280", "1240/1010"}), Lines(lines.begin() + 1, lines.begin() + 4));
    EXPECT_EQ("max.5", lines[5]);
    EXPECT_EQ("bis zu 4", lines[7]);
    EXPECT_EQ("255.255", lines[13]);
}

TEST(InfoText, UndefinedRelayCodeIsNamedAsSuch) {
    const Lines lines = info_lines(0xC0, 0x00, 2, 0);
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ("Zusatzrelais:", lines[3]);
    EXPECT_EQ("nicht definiert", lines[4]);
}

}  // namespace
}  // namespace zav
