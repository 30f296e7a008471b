#include "fleet/base/file_names.h"

#include "core/config/config_image.h"
#include "fleet/base/sha256.h"
#include "fleet/base/time_stamps.h"

namespace zav {

namespace {

constexpr size_t kLongestLabelPart = 40;

bool is_ascii_letter_or_digit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The German letters a file name spells out; any other character outside
// ASCII is a separator.
const char* spelled_out(unsigned char first, unsigned char second) {
    if (first != 0xC3) return nullptr;
    switch (second) {
        case 0xA4: return "ae";
        case 0xB6: return "oe";
        case 0xBC: return "ue";
        case 0x84: return "Ae";
        case 0x96: return "Oe";
        case 0x9C: return "Ue";
        case 0x9F: return "ss";
        default: return nullptr;
    }
}

}  // namespace

std::string file_name_part(const std::string& label) {
    std::string part;
    bool separator_due = false;
    for (size_t i = 0; i < label.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(label[i]);
        const char* spelled = i + 1 < label.size() ? spelled_out(c, static_cast<unsigned char>(label[i + 1])) : nullptr;
        if (!is_ascii_letter_or_digit(c) && spelled == nullptr) {
            separator_due = !part.empty();
            continue;
        }
        if (separator_due) part += '-';
        separator_due = false;
        if (spelled != nullptr) {
            part += spelled;
            ++i;
        } else {
            part += static_cast<char>(c);
        }
        if (part.size() >= kLongestLabelPart) break;
    }
    if (part.size() > kLongestLabelPart) part.resize(kLongestLabelPart);
    while (!part.empty() && part.back() == '-') part.pop_back();
    return part.empty() ? std::string("Geraet") : part;
}

std::string backup_file_name(const std::string& iso_time, const std::string& label, const uint8_t* record) {
    return file_name_time(iso_time, '_') + "_" + file_name_part(label) + "_" + sha256_hex(record, kRecordBytes).substr(0, 8) + ".zcf";
}

std::string series_copy_file_name(const std::string& label, const std::string& iso_time) {
    return file_name_part(label) + "_" + date_of(iso_time) + ".zcf";
}

std::string default_series_log_name(const std::string& iso_time) {
    return "zavctl-serie-" + file_name_time(iso_time, '-') + ".jsonl";
}

}  // namespace zav
