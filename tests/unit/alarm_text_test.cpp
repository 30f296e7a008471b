#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/config/alarm_text.h"

namespace zav {
namespace {

constexpr uint8_t kUntouched = 0xA5;

// Parses into a list followed by a guard byte that must never be written.
struct Parsed {
    int code;
    uint8_t bytes[10];
};

Parsed parse(const char* text) {
    Parsed parsed;
    std::memset(parsed.bytes, kUntouched, sizeof parsed.bytes);
    parsed.code = parse_alarm_text(text, parsed.bytes);
    return parsed;
}

std::string shown(std::vector<uint8_t> bytes) {
    bytes.resize(10, 0xFF);
    char text[kAlarmTextBytes];
    format_alarm_text(bytes.data(), text);
    return text;
}

TEST(AlarmTextParser, SeparatorsAreOptionalAroundAndBetweenActions) {
    for (const char* text : {"ON05, OFF05", "ON05OFF05", ",ON05,OFF05,", " ON05 OFF05 "}) {
        const Parsed p = parse(text);
        ASSERT_EQ(0, p.code) << text;
        EXPECT_EQ(0x45, p.bytes[0]) << text;
        EXPECT_EQ(0x05, p.bytes[1]) << text;
        EXPECT_EQ(0xFF, p.bytes[2]) << text;
        EXPECT_EQ(kUntouched, p.bytes[3]) << text;
    }
    const Parsed trailing = parse("ON05,");
    EXPECT_EQ(0, trailing.code);
    EXPECT_EQ(0x45, trailing.bytes[0]);
    EXPECT_EQ(0xFF, trailing.bytes[1]);
}

TEST(AlarmTextParser, EachActionKindHasItsBits) {
    const Parsed p = parse("R60,OFF00,ON60,H1234");
    ASSERT_EQ(0, p.code);
    EXPECT_EQ(0xFC, p.bytes[0]);
    EXPECT_EQ(0x00, p.bytes[1]);
    EXPECT_EQ(0x7C, p.bytes[2]);
    EXPECT_EQ(0x8C, p.bytes[3]);
    EXPECT_EQ(0x34, p.bytes[4]);  // parameter digits packed as BCD
    EXPECT_EQ(0xFF, p.bytes[5]);
}

TEST(AlarmTextParser, RefusesEverythingOutsideTheGrammar) {
    for (const char* text : {"on05", "ON5", "ON 05", "OF05", "H61", "H6112", "R61", "ON61", "ON05,O", "", ",",
                             " , ,", "05", "N05", "F05", "ON05;OFF05", "H12", "H123", "H1 234", "OFF0", "ONX5"}) {
        EXPECT_EQ(1, parse(text).code) << '"' << text << '"';
    }
}

TEST(AlarmTextParser, KeepsWhatItWroteBeforeAnError) {
    const Parsed p = parse("ON05,ON61");
    EXPECT_EQ(1, p.code);
    EXPECT_EQ(0x45, p.bytes[0]);
    EXPECT_EQ(kUntouched, p.bytes[1]);
}

TEST(AlarmTextParser, NineBytesFillTheListAndTheRestIsIgnored) {
    const Parsed nine = parse("ON01,ON02,ON03,ON04,ON05,ON06,ON07,ON08,ON09");
    ASSERT_EQ(0, nine.code);
    EXPECT_EQ(0x49, nine.bytes[8]);
    EXPECT_EQ(kUntouched, nine.bytes[9]);

    const Parsed ten = parse("ON01,ON02,ON03,ON04,ON05,ON06,ON07,ON08,ON09,ON10,garbage");
    ASSERT_EQ(0, ten.code);
    EXPECT_EQ(0x49, ten.bytes[8]);
    EXPECT_EQ(kUntouched, ten.bytes[9]);
}

TEST(AlarmTextParser, AnHActionCutOffAtTheNinthPlaceIsRefused) {
    const Parsed p = parse("ON01,ON02,ON03,ON04,ON05,ON06,ON07,ON08,H1234");
    EXPECT_EQ(1, p.code);
    EXPECT_EQ(0x8C, p.bytes[8]);
    EXPECT_EQ(kUntouched, p.bytes[9]);
}

TEST(AlarmTextDisplay, WritesCommaSeparatedPiecesWithTheHParameterInHex) {
    EXPECT_EQ("ON05,H1220,OFF05", shown({0x45, 0x8C, 0x20, 0x05, 0xFF}));
    EXPECT_EQ("R60", shown({0xFC, 0xFF}));
    EXPECT_EQ("", shown({0xFF}));
    EXPECT_EQ("H123A", shown({0x8C, 0x3A, 0xFF}));
    EXPECT_EQ(1, parse("H123A").code);  // a non-BCD parameter must be retyped
}

TEST(AlarmTextDisplay, NineOffActionsAreTheLongestText) {
    const std::string text = shown({0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C});
    EXPECT_EQ(53u, text.size());
    EXPECT_EQ("OFF60,OFF60,OFF60,OFF60,OFF60,OFF60,OFF60,OFF60,OFF60", text);
}

TEST(AlarmTextDisplay, AnHInTheNinthPlaceShowsWithoutParameterAndIsRefused) {
    // The tenth byte belongs to the next alarm's list and must not be shown.
    const std::string text = shown({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x8C, 0x34});
    EXPECT_EQ("ON01,ON02,ON03,ON04,ON05,ON06,ON07,ON08,H12", text);
    EXPECT_EQ(1, parse(text.c_str()).code);
}

TEST(AlarmTextDisplay, ShownTextParsesBackToTheSameList) {
    const std::vector<uint8_t> list = {0xC1, 0x80, 0x99, 0x3B, 0x7C, 0x00, 0x85, 0x01, 0xFF};
    const Parsed p = parse(shown(list).c_str());
    ASSERT_EQ(0, p.code);
    EXPECT_EQ(0, std::memcmp(list.data(), p.bytes, list.size()));
}

TEST(DecimalTextValue, CountsEachCharacterWithItsCodeMinus48) {
    EXPECT_EQ(0, decimal_text_value("", 3));
    EXPECT_EQ(180, decimal_text_value("180", 3));
    EXPECT_EQ(7, decimal_text_value("007", 3));
    EXPECT_EQ(100, decimal_text_value("1000", 3));       // only the first three count
    EXPECT_EQ(10 + ('a' - 48), decimal_text_value("1a", 2));
    EXPECT_EQ((' ' - 48) * 10 + 5, decimal_text_value(" 5", 2));
    // A long text must not overflow the value; its first eighteen characters count.
    EXPECT_EQ(999999999999999999LL, decimal_text_value("99999999999999999999999", 40));
    EXPECT_TRUE(is_digit_text("0123456789", 10));
    EXPECT_TRUE(is_digit_text("12x", 2));
    EXPECT_FALSE(is_digit_text("1x", 2));
    EXPECT_TRUE(is_digit_text("", 3));
}

}  // namespace
}  // namespace zav
