#include "fleet/base/natural_order.h"

namespace zav {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The digit run starting at begin, without its leading zeros: [first, end).
void digit_run(const std::string& text, size_t begin, size_t& first, size_t& end) {
    end = begin;
    while (end < text.size() && is_digit(text[end])) ++end;
    first = begin;
    while (first + 1 < end && text[first] == '0') ++first;
}

}  // namespace

bool natural_less(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            size_t a_first, a_end, b_first, b_end;
            digit_run(a, i, a_first, a_end);
            digit_run(b, j, b_first, b_end);
            const size_t a_length = a_end - a_first;
            const size_t b_length = b_end - b_first;
            // Without leading zeros, the longer run is the larger number.
            if (a_length != b_length) return a_length < b_length;
            const int order = a.compare(a_first, a_length, b, b_first, b_length);
            if (order != 0) return order < 0;
            i = a_end;
            j = b_end;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;
}

}  // namespace zav
