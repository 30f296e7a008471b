#include "cli/backup_store.h"

#include <cstring>

#include "cli/console.h"
#include "cli/output_file.h"
#include "cli/output_path.h"
#include "cli/sha256.h"
#include "cli/user_folders.h"
#include "cli/whole_file.h"
#include "core/config/config_file.h"
#include "core/config/config_image.h"

namespace zav::cli {

namespace {

constexpr size_t kLongestLabelPart = 40;
constexpr int kMostNameTries = 100;

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

std::string with_number(const std::string& name, int number) {
    const size_t dot = name.rfind('.');
    const std::string suffix = "-" + std::to_string(number);
    return dot == std::string::npos ? name + suffix : name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace

Outcome prepare_backup_folder(const std::string& option, std::string& folder) {
    folder = option;
    if (folder.empty()) {
        const Outcome found = default_backup_folder(folder);
        if (!found.ok()) return found;
    }
    std::string error;
    if (!make_folders(folder, error)) {
        return failure(kExitFile, "Ordner für die Sicherungen nicht nutzbar", shown_name(folder) + ": " + error);
    }
    return success();
}

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

std::string date_of(const std::string& iso_time) { return iso_time.substr(0, 10); }

std::string backup_file_name(const std::string& iso_time, const std::string& label, const uint8_t* record) {
    // "2026-12-08T09:15:02+01:00" -> "2026-12-08_091502"
    std::string when = date_of(iso_time) + "_";
    for (size_t i = 11; i < iso_time.size() && i < 19; ++i) {
        if (iso_time[i] != ':') when += iso_time[i];
    }
    return when + "_" + file_name_part(label) + "_" + sha256_hex(record, kRecordBytes).substr(0, 8) + ".zcf";
}

Outcome store_configuration(const std::string& folder, const std::string& name, const uint8_t* record,
                            std::string& path) {
    ConfigImage image;
    set_image_start_values(image);
    std::memcpy(image.bytes, record, kRecordBytes);
    uint8_t bytes[kConfigFileBytes];
    build_config_file(image, bytes);
    const std::string content(reinterpret_cast<const char*>(bytes), sizeof bytes);

    for (int number = 1; number <= kMostNameTries; ++number) {
        const std::string candidate = path_in_folder(folder, number == 1 ? name : with_number(name, number));
        OutputPathFacts facts;
        std::string error;
        if (!examine_output_path(candidate, facts, error)) {
            return failure(kExitFile, kConfigFileCannotCreate, shown_name(candidate) + ": " + error);
        }
        if (facts.kind == PathKind::kRegularFile) {
            std::string earlier;
            if (read_whole_file(candidate, earlier).ok() && earlier == content) {
                path = candidate;
                return success();
            }
            continue;
        }
        if (facts.kind != PathKind::kNothing) continue;
        const Outcome written = write_output_file(candidate, bytes, sizeof bytes, false);
        if (written.ok()) path = candidate;
        return written;
    }
    return failure(kExitFile, kConfigFileCannotCreate,
                   shown_name(path_in_folder(folder, name)) + ": jeder Name bis -" + std::to_string(kMostNameTries) +
                       " ist schon vergeben");
}

}  // namespace zav::cli
