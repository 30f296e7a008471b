// The text form of an alarm action list ("Codierung") and the decimal text
// value used by the numeric fields of the configuration window.
//
// Text form: actions ONnn, OFFnn, Rnn (nn = 00..60) and Hnnpp (pp packed as
// two BCD digits into a second byte), separated by commas or blanks or by
// nothing at all. A list holds at most nine bytes; a shorter one ends with
// 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav {

constexpr size_t kAlarmTextMaxChars = 54;   // nine "OFFnn," pieces less the last comma, and room
constexpr size_t kAlarmTextBytes = kAlarmTextMaxChars + 1;

// Parses one alarm text into a nine-byte action list. Returns 0, or the
// "Codierung" error code 1. Bytes are written as they are recognised, so on
// an error the list keeps what was written up to that point.
int parse_alarm_text(const char* text, uint8_t* list);

// Writes the displayed form of a nine-byte action list, for example
// "ON05,H1220,OFF05" (at most 53 characters and a terminator) into text,
// which must hold kAlarmTextBytes.
void format_alarm_text(const uint8_t* list, char* text);

// The value of the first max_chars characters of text, each counted with its
// character code - 48 times its power of ten from the right; "" gives 0.
// Non-digits are not filtered (callers that want digits only test with
// is_digit_text first).
long long decimal_text_value(const char* text, size_t max_chars);

// True when each of the first max_chars characters of text (or all of them,
// if text is shorter) is a digit 0..9. An empty text counts as digits only.
bool is_digit_text(const char* text, size_t max_chars);

}  // namespace zav
