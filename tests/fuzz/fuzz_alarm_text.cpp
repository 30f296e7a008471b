// The alarm text in both directions, on arbitrary texts and arbitrary lists.
//
// The first input byte chooses the direction; the rest is the text the user
// typed or the nine list bytes a file or a device delivered. The list and
// the shown text live in buffers of exactly their size.
#include "core/config/alarm_text.h"
#include "core/config/config_image.h"
#include "fuzz_check.h"

using namespace zav;

namespace {

constexpr size_t kListBytes = kAlarmListBytes;

struct Buffers {
    uint8_t* list = static_cast<uint8_t*>(std::malloc(kListBytes));
    uint8_t* again = static_cast<uint8_t*>(std::malloc(kListBytes));
    char* shown = static_cast<char*>(std::malloc(kAlarmTextBytes));
    char* shown_again = static_cast<char*>(std::malloc(kAlarmTextBytes));
    ~Buffers() {
        std::free(list);
        std::free(again);
        std::free(shown);
        std::free(shown_again);
    }
};

// Only the bytes up to the end mark (or all nine) mean anything.
size_t used_bytes(const uint8_t* list) {
    size_t n = 0;
    while (n < kListBytes && list[n] != kListEnd) ++n;
    return n;
}

void check_shown(const char* shown) {
    FUZZ_CHECK(zav_fuzz::terminated(shown, kAlarmTextBytes));
    FUZZ_CHECK(std::strlen(shown) <= kAlarmTextMaxChars - 1);  // nine OFF actions: 53
}

// A parsed list shows as a text that parses to the same list.
void check_round_trip(Buffers& b) {
    format_alarm_text(b.list, b.shown);
    check_shown(b.shown);
    std::memset(b.again, 0xAA, kListBytes);
    FUZZ_CHECK(parse_alarm_text(b.shown, b.again) == 0);
    const size_t used = used_bytes(b.list);
    FUZZ_CHECK(used_bytes(b.again) == used);
    FUZZ_CHECK(std::memcmp(b.list, b.again, used) == 0);
}

void fuzz_typed_text(const uint8_t* data, size_t size) {
    // The text as the window hands it over, terminated; longer than the
    // field allows, too, as a pasted text might be before the window cuts it.
    char* text = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(text, data, size);
    text[size] = '\0';

    Buffers b;
    std::memset(b.list, 0xAA, kListBytes);
    const int code = parse_alarm_text(text, b.list);
    FUZZ_CHECK(code == 0 || code == 1);
    if (code == 0) check_round_trip(b);

    // The numeric fields' helpers on the same text, as wide as the callers read.
    for (size_t max_chars = 0; max_chars <= 5; ++max_chars) {
        const long long value = decimal_text_value(text, max_chars);
        if (is_digit_text(text, max_chars)) FUZZ_CHECK(value >= 0 && value <= 99999);
    }
    std::free(text);
}

void fuzz_stored_list(const uint8_t* data, size_t size) {
    Buffers b;
    std::memset(b.list, kListEnd, kListBytes);
    std::memcpy(b.list, data, size < kListBytes ? size : kListBytes);
    format_alarm_text(b.list, b.shown);
    check_shown(b.shown);
    // Whatever a file held, what is shown either parses back to a list that
    // shows the same way, or is refused; it never reads past the list.
    std::memset(b.again, 0xAA, kListBytes);
    if (parse_alarm_text(b.shown, b.again) == 0) {
        format_alarm_text(b.again, b.shown_again);
        FUZZ_CHECK(std::strcmp(b.shown, b.shown_again) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1)
        fuzz_stored_list(data + 1, size - 1);
    else
        fuzz_typed_text(data + 1, size - 1);
    return 0;
}
