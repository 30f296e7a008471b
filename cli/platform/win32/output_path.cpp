#include "cli/platform/output_path.h"

#include <windows.h>

#include <cctype>

#include "cli/platform/console.h"
#include "cli/platform/user_folders.h"
#include "cli/platform/win32/windows_error_text.h"

namespace zav::cli {

namespace {

bool is_reserved_letters(const std::string& stem, const char* word) {
    if (stem.size() != std::char_traits<char>::length(word)) return false;
    for (size_t i = 0; i < stem.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(stem[i])) != word[i]) return false;
    }
    return true;
}

// CON, NUL, COM1, LPT1 ... name a device in every folder, with any
// extension, and "\\.\" names one directly: never a file to replace.
bool names_a_device(const std::string& path) {
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0) return true;
    const size_t separator = path.find_last_of("/\\:");
    std::string stem = path.substr(separator == std::string::npos ? 0 : separator + 1);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* word : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (is_reserved_letters(stem, word)) return true;
    }
    if (stem.size() == 4 && std::isdigit(static_cast<unsigned char>(stem[3])) && stem[3] != '0') {
        const std::string letters = stem.substr(0, 3);
        return is_reserved_letters(letters, "COM") || is_reserved_letters(letters, "LPT");
    }
    return false;
}

}  // namespace

bool examine_output_path(const std::string& path, OutputPathFacts& facts, std::string& error) {
    // Symbolic links are rare on Windows, and the final path needs a newer
    // Windows than XP: the path is taken as it is.
    facts.target = path;
    facts.folder = folder_of(path);
    facts.folder_problem.clear();
    facts.other_kind = "ein Gerät";
    if (names_a_device(path)) {
        facts.kind = PathKind::kOther;
        return true;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD failure = GetLastError();
        if (failure != ERROR_FILE_NOT_FOUND && failure != ERROR_PATH_NOT_FOUND) {
            error = windows_error_text(failure);
            return false;
        }
        facts.kind = PathKind::kNothing;
    } else {
        facts.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder
                     : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? PathKind::kOther
                                                                  : PathKind::kRegularFile;
    }
    const DWORD folder = GetFileAttributesA(facts.folder.c_str());
    if (folder == INVALID_FILE_ATTRIBUTES) {
        facts.folder_problem = "den Ordner " + shown_name(facts.folder) + " gibt es nicht";
    } else if ((folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        facts.folder_problem = shown_name(facts.folder) + " ist kein Ordner";
    }
    return true;
}

}  // namespace zav::cli
