#include "cli/platform/device_instance_id.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace zav::cli {

namespace {

std::vector<std::string> split(const std::string& text, const std::string& separators) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find_first_of(separators, begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) return parts;
        begin = end + 1;
    }
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "VID_0403" with prefix "VID_": "0403"; "" when it is something else.
std::string hex_after(const std::string& part, const char* prefix, size_t digits) {
    const std::string wanted = prefix;
    if (upper(part.substr(0, wanted.size())) != wanted || part.size() != wanted.size() + digits) return "";
    std::string value = part.substr(wanted.size());
    for (char& c : value) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return value;
}

}  // namespace

DeviceIdParts parse_device_instance_id(const std::string& id) {
    DeviceIdParts parts;
    const std::vector<std::string> levels = split(id, "\\");
    parts.bus = upper(levels[0]);
    if (levels.size() < 2) return parts;
    for (const std::string& part : split(levels[1], "&+")) {
        if (parts.vendor_id.empty()) parts.vendor_id = hex_after(part, "VID_", 4);
        if (parts.product_id.empty()) parts.product_id = hex_after(part, "PID_", 4);
        const std::string interface = hex_after(part, "MI_", 2);
        if (!interface.empty()) parts.interface_number = static_cast<int>(std::strtol(interface.c_str(), nullptr, 16));
    }
    if (parts.bus == "USB" && levels.size() >= 3 && parts.interface_number < 0 && !levels[2].empty() &&
        levels[2].find('&') == std::string::npos) {
        parts.serial = levels[2];
    }
    return parts;
}

std::string port_kind_of_bus(const std::string& bus, bool has_usb_ids) {
    if (has_usb_ids || bus == "USB" || bus == "FTDIBUS") return "usb";
    if (bus == "ACPI") return "builtin";
    if (bus == "PCI" || bus == "MF") return "pci";
    if (bus == "BTHENUM") return "bluetooth";
    if (bus == "ROOT") return "virtual";
    return "";
}

}  // namespace zav::cli
