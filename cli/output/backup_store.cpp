#include "cli/output/backup_store.h"

#include <cstring>

#include "cli/output/whole_file.h"
#include "cli/platform/console.h"
#include "cli/platform/file_replace.h"
#include "cli/platform/output_path.h"
#include "cli/platform/user_folders.h"
#include "core/config/config_file.h"
#include "core/config/config_image.h"
#include "fleet/base/sha256.h"

namespace zav::cli {

namespace {

constexpr int kMostNameTries = 100;

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

Outcome store_configuration(const std::string& folder, const std::string& name, const uint8_t* record,
                            std::string& path) {
    ConfigImage image;
    set_image_start_values(image);
    std::memcpy(image.bytes, record, kRecordBytes);
    uint8_t bytes[kConfigFileBytes];
    build_config_file(image, bytes);
    const std::string content(reinterpret_cast<const char*>(bytes), sizeof bytes);

    // Each name is taken only if it is free at the very moment the file
    // is put there: the ports of a series may back up at the same time, and
    // a name one of them took after this one looked is never replaced.
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
        if (!facts.folder_problem.empty()) {
            return failure(kExitFile, kConfigFileCannotCreate, shown_name(candidate) + ": " + facts.folder_problem);
        }
        bool exists = false;
        if (create_whole_file(candidate, bytes, sizeof bytes, exists, error)) {
            path = candidate;
            return success();
        }
        if (!exists) return failure(kExitFile, kConfigFileCannotCreate, shown_name(candidate) + ": " + error);
    }
    return failure(kExitFile, kConfigFileCannotCreate,
                   shown_name(path_in_folder(folder, name)) + ": jeder Name bis -" + std::to_string(kMostNameTries) +
                       " ist schon vergeben");
}

}  // namespace zav::cli
