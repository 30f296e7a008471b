#include "core/config/alarm_text.h"

#include <cstdio>
#include <cstring>

#include "core/config/config_image.h"

namespace zav {

namespace {

constexpr uint8_t kKindOff = 0x00;
constexpr uint8_t kKindOn = 0x40;
constexpr uint8_t kKindH = 0x80;
constexpr uint8_t kKindR = 0xC0;
constexpr uint8_t kKindMask = 0xC0;
constexpr uint8_t kNumberMask = 0x3F;
constexpr int kMaxActionNumber = 60;
constexpr int kListBytes = 9;

enum class ParseState { kStart, kAfterO, kInR, kInH, kInOn, kInOff };

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_allowed(char c) {
    return is_digit(c) || c == 'O' || c == 'N' || c == 'F' || c == 'R' || c == 'H' || c == ',' ||
           c == ' ';
}

constexpr int kCodingError = 1;

}  // namespace

int parse_alarm_text(const char* text, uint8_t* list) {
    ParseState state = ParseState::kStart;
    int digits = 0;
    int accumulator = 0;
    int j = 0;
    bool action_complete = false;

    for (size_t i = 0; text[i] != '\0' && j < kListBytes; ++i) {
        const char c = text[i];
        if (!is_allowed(c)) return kCodingError;
        switch (state) {
            case ParseState::kStart:
                if (c == ',' || c == ' ') break;
                if (c == 'O') state = ParseState::kAfterO;
                else if (c == 'R') state = ParseState::kInR;
                else if (c == 'H') state = ParseState::kInH;
                else return kCodingError;
                action_complete = false;
                digits = 0;
                accumulator = 0;
                break;
            case ParseState::kAfterO:
                if (c == 'N') {
                    state = ParseState::kInOn;
                } else if (c == 'F' && text[i + 1] == 'F') {
                    state = ParseState::kInOff;
                    ++i;
                } else {
                    return kCodingError;
                }
                digits = 0;
                accumulator = 0;
                break;
            case ParseState::kInR:
            case ParseState::kInOn:
            case ParseState::kInOff: {
                if (!is_digit(c)) return kCodingError;
                const int digit = c - '0';
                if (digits == 0) {
                    accumulator = 10 * digit;
                    digits = 1;
                    break;
                }
                accumulator += digit;
                if (accumulator > kMaxActionNumber) return kCodingError;
                const uint8_t kind = state == ParseState::kInR    ? kKindR
                                     : state == ParseState::kInOn ? kKindOn
                                                                  : kKindOff;
                list[j++] = static_cast<uint8_t>(kind | accumulator);
                action_complete = true;
                state = ParseState::kStart;
                break;
            }
            case ParseState::kInH: {
                if (!is_digit(c)) return kCodingError;
                const int digit = c - '0';
                ++digits;
                if (digits == 1) {
                    accumulator = 10 * digit;
                } else if (digits == 2) {
                    accumulator += digit;
                    if (accumulator > kMaxActionNumber) return kCodingError;
                    list[j++] = static_cast<uint8_t>(kKindH | accumulator);
                    accumulator = 0;
                } else if (digits == 3) {
                    accumulator += 16 * digit;
                } else {
                    // The parameter is two BCD digits packed into one byte.
                    accumulator += digit;
                    list[j++] = static_cast<uint8_t>(accumulator);
                    action_complete = true;
                    state = ParseState::kStart;
                }
                break;
            }
        }
    }
    // A clear flag means no action at all, or a text (or an H action cut off
    // at the ninth place) that ended inside an action.
    if (!action_complete) return kCodingError;
    if (j < kListBytes) list[j] = kListEnd;
    return 0;
}

void format_alarm_text(const uint8_t* list, char* text) {
    size_t length = 0;
    text[0] = '\0';
    for (int i = 0; i < kListBytes && list[i] != kListEnd; ++i) {
        const uint8_t action = list[i];
        const int number = action & kNumberMask;
        char piece[8];
        switch (action & kKindMask) {
            case kKindOn: std::snprintf(piece, sizeof piece, "ON%.2d,", number); break;
            case kKindOff: std::snprintf(piece, sizeof piece, "OFF%.2d,", number); break;
            case kKindR: std::snprintf(piece, sizeof piece, "R%.2d,", number); break;
            default:
                if (i + 1 < kListBytes) {
                    std::snprintf(piece, sizeof piece, "H%.2d%.2X,", number, list[i + 1]);
                    ++i;
                } else {
                    // An H action in the ninth place has no parameter inside
                    // the list; showing it bare lets the parser refuse it
                    // instead of reading into the next alarm's list.
                    std::snprintf(piece, sizeof piece, "H%.2d,", number);
                }
                break;
        }
        const size_t piece_length = std::strlen(piece);
        std::memcpy(text + length, piece, piece_length + 1);
        length += piece_length;
    }
    if (length > 0) text[length - 1] = '\0';  // the last piece's comma
}

long long decimal_text_value(const char* text, size_t max_chars) {
    // The fields take at most five characters; eighteen is where the value
    // of a longer text would stop fitting the result.
    constexpr size_t kMaxCharsThatFit = 18;
    if (max_chars > kMaxCharsThatFit) max_chars = kMaxCharsThatFit;
    size_t length = 0;
    while (length < max_chars && text[length] != '\0') ++length;
    long long value = 0;
    long long power = 1;
    for (size_t i = length; i > 0; --i) {
        value += static_cast<long long>(static_cast<unsigned char>(text[i - 1]) - 48) * power;
        power *= 10;
    }
    return value;
}

bool is_digit_text(const char* text, size_t max_chars) {
    for (size_t i = 0; i < max_chars && text[i] != '\0'; ++i) {
        if (!is_digit(text[i])) return false;
    }
    return true;
}

}  // namespace zav
