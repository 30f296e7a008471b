// What zavctl's reports say and how their text is carried: the Windows-1252
// table both ways, the field a failed check names, lines within 80 columns.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "fleet/base/text_encoding.h"
#include "fleet/base/text_wrap.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_view.h"

namespace zav {
namespace {

std::string utf8_of(char32_t code_point) {
    std::string out;
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
    return out;
}

// Windows-1252 as the Unicode consortium maps it:
// 0x80..0x9F; the rest is Latin-1. kNone where the code page defines nothing.
constexpr char32_t kNone = 0xFFFFFFFF;
constexpr char32_t kReference80To9F[32] = {
    0x20AC, kNone,  0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, kNone,  0x017D, kNone,  kNone,  0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kNone,  0x017E, 0x0178};

char32_t reference(int byte) { return byte >= 0x80 && byte < 0xA0 ? kReference80To9F[byte - 0x80] : byte; }

// Every byte to UTF-8 and back, and every code point there is to
// Windows-1252: exactly the table's 251 characters come back as their byte,
// every other one as '?'.
TEST(ReportText, Windows1252AndUtf8OverTheWholeTable) {
    std::array<int, 0x10000> byte_of;
    byte_of.fill(-1);
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        if (reference(byte) == kNone) {
            EXPECT_EQ("\xEF\xBF\xBD", utf8_from_cp1252(text)) << byte;
            continue;
        }
        EXPECT_EQ(utf8_of(reference(byte)), utf8_from_cp1252(text)) << byte;
        byte_of[reference(byte)] = byte;
    }
    int mapped = 0;
    for (char32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
        const std::string back = cp1252_from_utf8(utf8_of(code_point));
        const int expected = code_point < byte_of.size() ? byte_of[code_point] : -1;
        ASSERT_EQ(std::string(1, expected < 0 ? '?' : static_cast<char>(expected)), back) << code_point;
        if (expected >= 0) ++mapped;
    }
    EXPECT_EQ(251, mapped);
}

// A second spelling of a character is no character: C0 AF must not become
// the '/' it spells, nor a surrogate or a code point beyond Unicode anything.
TEST(ReportText, OverlongAndOutOfRangeUtf8IsRefused) {
    for (const char* refused : {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
                                "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF"}) {
        EXPECT_EQ("a?b", cp1252_from_utf8(std::string("a") + refused + "b")) << refused;
        EXPECT_FALSE(is_valid_utf8(refused)) << refused;
    }
    EXPECT_EQ("\xE4", cp1252_from_utf8("\xC3\xA4"));
    EXPECT_EQ("/x\\x1b[2J", escaped_controls(cp1252_from_utf8("/x\x1b[2J")));
}

// The window stops at the first field of a kind that fails; the report
// names that one, not a later one, nor one the window passes.
TEST(ReportText, TheFieldTheCheckStopsAt) {
    std::array<uint8_t, kRecordBytes> good;
    good.fill(0xFF);
    good[kFiveToneCount] = 4;
    for (int n = 0; n < 4; ++n) std::memcpy(&good[five_tone_entry(n)], "21401", 5);
    for (size_t alarm = 0; alarm < kAlarmCount; ++alarm) good[alarm_list(alarm)] = 0x41;
    good[kDeadTime] = 30;
    good[kAlarmPause] = 10;
    good[kManualAlarm] = 0;
    for (size_t r = 0; r < kRelayCount; ++r) good[relay_on_time(r)] = 5;
    // Alarms 0, 2 and 4 (set B), four relays.
    const uint8_t setup1 = 0x95, setup2 = 0x00;
    auto named = [&](const std::array<uint8_t, kRecordBytes>& record) {
        const std::optional<Field> field = field_in_error(view_record(record.data(), setup1, setup2));
        return field ? field->name + " = " + field->value : std::string("-");
    };
    EXPECT_EQ("-", named(good));

    auto record = good;
    record[alarm_list(1)] = 0x7F;  // alarm 1 is not fitted: the window passes it
    record[alarm_list(2)] = 0x3F;  // OFF63
    record[alarm_list(4)] = 0xFF;  // empty
    EXPECT_EQ("Codierung 1240Hz/2280Hz = OFF63", named(record));

    record = good;
    record[five_tone_entry(1) + 3] = 0;
    record[five_tone_entry(3) + 1] = 0;
    EXPECT_EQ("5-Ton Nummer 2 = 214", named(record));

    record = good;
    record[relay_on_time(1)] = 181;
    record[relay_on_time(3)] = 200;
    EXPECT_EQ("Zusatzrelais 2 Ein-Zeit = 181 s", named(record));
    record[relay_on_time(0)] = 255;  // the relay on show, taken from its field
    EXPECT_EQ("Zusatzrelais 1 Ein-Zeit = 255 s", named(record));
}

TEST(ReportText, LinesBreakAtBlanksButNotInsideQuotes) {
    const std::string text = "Den Port gibt es nicht: ist der Adapter eingesteckt? Der Befehl "
                             "\"zavctl ports\" zeigt die Ports dieses Rechners.";
    const std::string lines = wrapped("        " + text, "        ");
    EXPECT_NE(std::string::npos, lines.find("\n        \"zavctl ports\" zeigt"));
    for (size_t begin = 0, end; begin < lines.size(); begin = end + 1) {
        end = lines.find('\n', begin);
        if (end == std::string::npos) end = lines.size();
        EXPECT_LE(end - begin, kTextColumns);
    }
    const std::string path(100, 'x');
    EXPECT_EQ("Datei\n  " + path, wrapped("Datei " + path, "  "));
}

}  // namespace
}  // namespace zav
