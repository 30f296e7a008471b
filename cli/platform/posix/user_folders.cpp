#include "cli/platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "cli/platform/system_error_text.h"

namespace zav::cli {

namespace {

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') return entry->pw_dir;
    return std::string();
}

}  // namespace

Outcome default_backup_folder(std::string& folder) {
    // The base directory rules: a relative path in XDG_STATE_HOME is
    // invalid and is ignored, as if it were unset.
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state != nullptr && state[0] == '/') {
        base = state;
    } else {
        const std::string home = home_folder();
        if (home.empty()) {
            return failure(kExitFile, "Kein Ordner für die Sicherungen",
                           "Weder XDG_STATE_HOME noch HOME nennt einen Ordner; --backup-dir ORDNER nennt ihn.");
        }
        base = home + "/.local/state";
    }
    folder = base + "/zavkonfig/sicherungen";
    return success();
}

bool make_folders(const std::string& folder, std::string& error) {
    // Each folder on the way, from the top: mkdir makes only the last.
    std::vector<std::string> steps;
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        steps.push_back(folder.substr(0, slash));
    }
    steps.push_back(folder);
    for (const std::string& step : steps) {
        if (step.empty() || step.back() == '/') continue;
        if (mkdir(step.c_str(), 0700) == 0 || errno == EEXIST) continue;
        error = system_error_text(errno);
        return false;
    }
    struct stat facts;
    if (stat(folder.c_str(), &facts) != 0) {
        error = system_error_text(errno);
        return false;
    }
    if (!S_ISDIR(facts.st_mode)) {
        error = "ist kein Ordner";
        return false;
    }
    return true;
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string login_name() {
    // The login of the session, also under sudo; without a terminal the
    // owner of the process, then what the environment says.
    char name[256];
    if (getlogin_r(name, sizeof name) == 0 && name[0] != '\0') return name;
    const passwd* entry = getpwuid(geteuid());
    if (entry != nullptr && entry->pw_name != nullptr && entry->pw_name[0] != '\0') return entry->pw_name;
    for (const char* variable : {"LOGNAME", "USER"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return std::string();
}

}  // namespace zav::cli
