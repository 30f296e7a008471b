#include "cli/platform/com_port_name.h"

namespace zav::cli {

namespace {

constexpr int kHighestPort = 256;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string canonical_com_port_name(const std::string& name) {
    const std::string prefix = "COM";
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 3) return "";
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (upper(name[i]) != prefix[i]) return "";
    }
    const std::string digits = name.substr(prefix.size());
    // "COM01" would open COM1 on some drivers and fail on others: refuse it,
    // so that a name means one port.
    if (digits[0] == '0') return "";
    int number = 0;
    for (char c : digits) {
        if (!is_digit(c)) return "";
        number = number * 10 + (c - '0');
    }
    if (number > kHighestPort) return "";
    return prefix + digits;
}

}  // namespace zav::cli
