#include "cli/platform/user_folders.h"

#include <windows.h>

#include <cstdlib>

#include "cli/platform/win32/windows_error_text.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

Outcome default_backup_folder(std::string& folder) {
    const char* local = std::getenv("LOCALAPPDATA");
    std::string base;
    if (local != nullptr && local[0] != '\0') {
        base = local;
    } else if (const char* profile = std::getenv("USERPROFILE"); profile != nullptr && profile[0] != '\0') {
        // Windows XP names the folder only in the profile, not in the
        // environment.
        base = std::string(profile) + "\\Local Settings\\Application Data";
    } else {
        return failure(kExitFile, "Kein Ordner für die Sicherungen",
                       "Weder LOCALAPPDATA noch USERPROFILE nennt einen Ordner; --backup-dir ORDNER nennt ihn.");
    }
    folder = base + "\\zavkonfig\\Sicherungen";
    return success();
}

bool make_folders(const std::string& folder, std::string& error) {
    // Each folder on the way, from the top, past the drive ("C:\") or the
    // share ("\\server\share\") that cannot be made.
    size_t start = 0;
    if (folder.size() >= 2 && folder[1] == ':') start = 3;
    if (folder.size() >= 2 && is_separator(folder[0]) && is_separator(folder[1])) {
        size_t separators = 0;
        for (start = 2; start < folder.size() && separators < 2; ++start) {
            if (is_separator(folder[start])) ++separators;
        }
    }
    for (size_t i = start; i <= folder.size(); ++i) {
        if (i < folder.size() && !is_separator(folder[i])) continue;
        const std::string step = folder.substr(0, i);
        if (step.empty() || is_separator(step.back())) continue;
        if (CreateDirectoryA(step.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) continue;
        error = windows_error_text(GetLastError());
        return false;
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = windows_error_text(GetLastError());
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = "ist kein Ordner";
        return false;
    }
    return true;
}

std::string folder_of(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "." : ".";
    if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return is_separator(folder.back()) ? folder + name : folder + "\\" + name;
}

std::string login_name() {
    char name[257];
    DWORD size = sizeof name;
    if (GetUserNameA(name, &size) && name[0] != '\0') return utf8_from_cp1252(name);
    const char* variable = std::getenv("USERNAME");
    return variable != nullptr ? utf8_from_cp1252(variable) : std::string();
}

}  // namespace zav::cli
