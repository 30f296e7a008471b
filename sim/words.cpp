#include "sim/words.h"

#include <cstdio>
#include <cstdlib>

namespace zav::sim {

std::string hex(const uint8_t* bytes, size_t n, const char* separator) {
    std::string text;
    char digits[4];
    for (size_t i = 0; i < n; ++i) {
        if (i) text += separator;
        snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

bool parse_hex(const std::string& text, uint8_t* out, size_t n) {
    if (text.size() != 2 * n) return false;
    for (size_t i = 0; i < n; ++i) {
        char pair[3] = {text[2 * i], text[2 * i + 1], 0};
        char* end = nullptr;
        unsigned long value = strtoul(pair, &end, 16);
        if (*end != 0) return false;
        out[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool parse_number(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = strtol(text.c_str(), &end, 0);
    return *end == 0;
}

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        size_t begin = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
        if (i > begin) words.push_back(text.substr(begin, i - begin));
    }
    return words;
}

}  // namespace zav::sim
