#include "cli/platform/output_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "cli/platform/console.h"
#include "cli/platform/system_error_text.h"
#include "cli/platform/user_folders.h"

namespace zav::cli {

namespace {

// The kernel gives up after 40 links in a row; so does the tool.
constexpr int kMostLinks = 40;

bool read_link(const std::string& path, std::string& content) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0) return false;
        if (static_cast<size_t>(length) < buffer.size()) {
            content.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

PathKind kind_of(mode_t mode) {
    if (S_ISREG(mode)) return PathKind::kRegularFile;
    if (S_ISDIR(mode)) return PathKind::kFolder;
    return PathKind::kOther;
}

const char* other_kind_of(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "ein Gerät";
    if (S_ISFIFO(mode)) return "eine FIFO";
    if (S_ISSOCK(mode)) return "ein Socket";
    return "etwas Besonderes";
}

// Why no new file can be made in folder, or "" when one can.
std::string folder_problem(const std::string& folder) {
    struct stat status;
    if (stat(folder.c_str(), &status) != 0) {
        if (errno == ENOENT) return "den Ordner " + shown_name(folder) + " gibt es nicht";
        return "Ordner " + shown_name(folder) + ": " + system_error_text(errno);
    }
    if (!S_ISDIR(status.st_mode)) return shown_name(folder) + " ist kein Ordner";
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return "Ordner " + shown_name(folder) + ": " + system_error_text(errno);
    }
    return std::string();
}

}  // namespace

bool examine_output_path(const std::string& path, OutputPathFacts& facts, std::string& error) {
    std::string target = path;
    PathKind kind = PathKind::kNothing;
    mode_t mode = 0;
    for (int links = 0;; ++links) {
        struct stat status;
        if (lstat(target.c_str(), &status) != 0) {
            // Nothing there, or a folder on the way missing: the folder's
            // check below says which.
            if (errno == ENOENT || errno == ENOTDIR) break;
            error = system_error_text(errno);
            return false;
        }
        if (!S_ISLNK(status.st_mode)) {
            kind = kind_of(status.st_mode);
            mode = status.st_mode;
            break;
        }
        std::string content;
        if (links == kMostLinks || !read_link(target, content)) {
            error = system_error_text(links == kMostLinks ? ELOOP : errno);
            return false;
        }
        // A relative link names its target from the link's own folder.
        target = !content.empty() && content[0] == '/' ? content : folder_of(target) + "/" + content;
    }
    facts.target = target;
    facts.kind = kind;
    facts.other_kind = kind == PathKind::kOther ? other_kind_of(mode) : "";
    facts.folder = folder_of(target);
    facts.folder_problem = folder_problem(facts.folder);
    return true;
}

}  // namespace zav::cli
