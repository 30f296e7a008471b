#include "cli/platform/durable_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/platform/system_error_text.h"
#include "cli/platform/user_folders.h"

namespace zav::cli {

namespace {

// 0, or the error number of the first write that failed.
int write_all(int fd, const std::string& bytes) {
    const char* next = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return EIO;
        next += written;
        left -= static_cast<size_t>(written);
    }
    return 0;
}

}  // namespace

AppendResult append_durably(const std::string& path, const std::string& bytes, std::string& error) {
    struct stat before;
    const bool existed = stat(path.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        error = S_ISDIR(before.st_mode) ? "ist ein Ordner" : "ist keine gewöhnliche Datei";
        return AppendResult::kNotWritten;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = system_error_text(errno);
        return AppendResult::kNotWritten;
    }
    // Where the new bytes begin: the tool is the log's only writer, so the
    // end now is where a failed write is cut back to.
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
        error = system_error_text(errno);
        close(fd);
        return AppendResult::kNotWritten;
    }
    int failure = write_all(fd, bytes);
    if (failure == 0 && fsync(fd) != 0) failure = errno;
    if (failure != 0) {
        error = system_error_text(failure);
        const bool cut_back = ftruncate(fd, opened.st_size) == 0 && fsync(fd) == 0;
        close(fd);
        return cut_back ? AppendResult::kNotWritten : AppendResult::kPartLeft;
    }
    if (close(fd) != 0) {
        // The bytes were synced; a close that fails after that loses nothing
        // the disk holds, but the tool says so rather than vouch for it.
        error = system_error_text(errno);
        return AppendResult::kPartLeft;
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
                return bytes.empty() ? AppendResult::kNotWritten : AppendResult::kPartLeft;
            }
        }
    }
    return AppendResult::kWritten;
}

}  // namespace zav::cli
