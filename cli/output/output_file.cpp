#include "cli/output/output_file.h"

#include "cli/platform/console.h"
#include "cli/platform/file_replace.h"
#include "cli/platform/output_path.h"
#include "core/config/config_file.h"

namespace zav::cli {

namespace {

Outcome cannot_create(const std::string& name, const std::string& why) {
    return failure(kExitFile, kConfigFileCannotCreate, shown_name(name) + ": " + why);
}

}  // namespace

bool is_standard_output(const std::string& name) { return name == "-"; }

Outcome check_output_path(const std::string& name, bool force) {
    if (is_standard_output(name)) return success();
    OutputPathFacts facts;
    std::string error;
    if (!examine_output_path(name, facts, error)) return cannot_create(name, error);
    switch (facts.kind) {
        case PathKind::kFolder: return cannot_create(name, "ist ein Ordner");
        case PathKind::kOther:
            return cannot_create(name, "ist " + facts.other_kind + ", keine gewöhnliche Datei");
        case PathKind::kRegularFile:
            if (!force) {
                return failure(kExitFile, "Datei existiert bereits: " + shown_name(name) + " (--force ersetzt sie)",
                               facts.target == name ? std::string()
                                                    : "Der Name ist ein Verweis auf " + shown_name(facts.target) +
                                                          "; --force schreibt dorthin.");
            }
            break;
        case PathKind::kNothing: break;
    }
    if (!facts.folder_problem.empty()) return cannot_create(name, facts.folder_problem);
    return success();
}

Outcome write_output_file(const std::string& name, const uint8_t* bytes, size_t count, bool force) {
    Outcome checked = check_output_path(name, force);
    if (!checked.ok()) return checked;
    if (is_standard_output(name)) {
        write_bytes(Stream::kOut, bytes, count);
        return standard_output_error().empty() ? success() : standard_output_lost();
    }
    std::string error;
    if (force) {
        if (!replace_file(name, bytes, count, error)) return cannot_create(name, error);
        return success();
    }
    // Without --force the name was free a moment ago; the file is put there
    // only if it still is, in one step, so that a file that came meanwhile
    // (another zavctl, another port) is never replaced.
    OutputPathFacts facts;
    if (!examine_output_path(name, facts, error)) return cannot_create(name, error);
    bool exists = false;
    if (!create_whole_file(facts.target, bytes, count, exists, error)) {
        return exists ? check_output_path(name, false) : cannot_create(name, error);
    }
    return success();
}

}  // namespace zav::cli
