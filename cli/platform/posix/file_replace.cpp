#include "cli/platform/file_replace.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "cli/platform/output_path.h"
#include "cli/platform/system_error_text.h"

namespace zav::cli {

namespace {

bool write_all(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// The new file takes the place of the old one in every respect a user set:
// its permissions (a backup kept private stays private) and, where the
// process may give them, its owner and group. A new file is made like any
// other file the user writes.
void take_over_attributes(int fd, const struct stat* replaced) {
    if (replaced == nullptr) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return;
    }
    // The owner first: changing it clears set-user-id bits the mode restores.
    if (fchown(fd, replaced->st_uid, replaced->st_gid) != 0) (void)fchown(fd, static_cast<uid_t>(-1), replaced->st_gid);
    fchmod(fd, replaced->st_mode & 07777);
}

// The rename is durable only once the folder that records it is on the disk.
// A file system that cannot sync a folder has nothing to sync.
bool sync_folder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    const int sync_error = errno;
    close(fd);
    errno = sync_error;
    return synced;
}

// Fills the new file fd, named path, puts it on the disk and closes it;
// when any of that fails, the file is removed and errno says why.
bool fill_new_file(int fd, const char* path, const uint8_t* bytes, size_t count) {
    bool done = write_all(fd, bytes, count) && fsync(fd) == 0;
    int failure = errno;
    if (close(fd) != 0 && done) {
        done = false;
        failure = errno;
    }
    if (!done) {
        unlink(path);
        errno = failure;
    }
    return done;
}

// The temporary file beside path, filled and on the disk; false with errno
// when that fails (nothing is left then).
bool write_temporary(const std::string& path, const uint8_t* bytes, size_t count, const struct stat* replaced,
                     std::vector<char>& name) {
    std::string temporary = path + ".XXXXXX";
    name.assign(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    take_over_attributes(fd, replaced);
    return fill_new_file(fd, name.data(), bytes, count);
}

// A file system without hard links (FAT on a USB stick) is asked for a
// rename that does not replace; one that has neither gets the file made
// exclusively in place.
bool link_without_replacing(const char* from, const char* to) {
    if (link(from, to) == 0) return true;
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    errno = ENOTSUP;
    return false;
}

bool create_in_place(const std::string& path, const uint8_t* bytes, size_t count) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return fill_new_file(fd, path.c_str(), bytes, count);
}

std::string folder_of_path(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

bool create_whole_file(const std::string& path, const uint8_t* bytes, size_t count, bool& exists,
                       std::string& error) {
    exists = false;
    std::vector<char> name;
    if (!write_temporary(path, bytes, count, nullptr, name)) {
        error = system_error_text(errno);
        return false;
    }
    bool placed = link_without_replacing(name.data(), path.c_str());
    int failure = errno;
    // After a link both names are the file; after a rename only the new one.
    unlink(name.data());
    if (!placed && failure == ENOTSUP) {
        placed = create_in_place(path, bytes, count);
        failure = errno;
    }
    if (!placed) {
        exists = failure == EEXIST;
        error = system_error_text(failure);
        return false;
    }
    if (!sync_folder(folder_of_path(path))) {
        error = system_error_text(errno);
        return false;
    }
    return true;
}

bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error) {
    OutputPathFacts facts;
    if (!examine_output_path(path, facts, error)) return false;
    if (facts.kind == PathKind::kFolder || facts.kind == PathKind::kOther) {
        error = facts.kind == PathKind::kFolder ? std::string("ist ein Ordner")
                                                : "ist " + facts.other_kind + ", keine gewöhnliche Datei";
        return false;
    }
    struct stat replaced;
    const bool replacing = facts.kind == PathKind::kRegularFile && stat(facts.target.c_str(), &replaced) == 0;

    // Beside the target, so that the rename stays within one file system.
    std::string temporary = facts.target + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = system_error_text(errno);
        return false;
    }
    take_over_attributes(fd, replacing ? &replaced : nullptr);

    bool done = write_all(fd, bytes, count) && fsync(fd) == 0;
    int failure = errno;
    if (close(fd) != 0 && done) {
        done = false;
        failure = errno;
    }
    if (done && rename(name.data(), facts.target.c_str()) != 0) {
        done = false;
        failure = errno;
    }
    if (!done) {
        unlink(name.data());
        error = system_error_text(failure);
        return false;
    }
    if (!sync_folder(facts.folder)) {
        error = system_error_text(errno);
        return false;
    }
    return true;
}

}  // namespace zav::cli
