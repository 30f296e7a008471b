#include "cli/durable_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/system_error_text.h"

namespace zav::cli {

namespace {

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool append_durably(const std::string& path, const std::string& bytes, std::string& error) {
    struct stat before;
    const bool existed = stat(path.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        error = S_ISDIR(before.st_mode) ? "ist ein Ordner" : "ist keine gewöhnliche Datei";
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = system_error_text(errno);
        return false;
    }
    const char* next = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            ok = false;
            break;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
    if (ok && fsync(fd) != 0) ok = false;
    const int write_error = errno;
    if (close(fd) != 0 && ok) {
        error = system_error_text(errno);
        return false;
    }
    if (!ok) {
        error = system_error_text(write_error);
        return false;
    }
    if (!existed) {
        // A new file is on the disk only once its folder's entry is.
        const int folder = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            const bool synced = fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP;
            const int sync_error = errno;
            close(folder);
            if (!synced) {
                error = system_error_text(sync_error);
                return false;
            }
        }
    }
    return true;
}

}  // namespace zav::cli
