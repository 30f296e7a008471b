#include "cli/platform/durable_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/platform/posix/file_steps.h"
#include "cli/platform/system_error_text.h"
#include "cli/platform/user_folders.h"

namespace zav::cli {

namespace {

// 0, or the error number of the first write that failed; written: how many
// bytes went into the file.
int write_all(const FileSteps& steps, int fd, const std::string& bytes, size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t count = steps.write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return errno;
        if (count == 0) return EIO;
        written += static_cast<size_t>(count);
    }
    return 0;
}

ssize_t system_write(int fd, const void* bytes, size_t count) { return ::write(fd, bytes, count); }
int system_fsync(int fd) { return ::fsync(fd); }
int system_ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
int system_close(int fd) { return ::close(fd); }

}  // namespace

const FileSteps& system_file_steps() {
    static const FileSteps steps = {system_write, system_fsync, system_ftruncate, system_close};
    return steps;
}

AppendResult append_durably(const std::string& path, const std::string& bytes, std::string& error,
                            size_t* part_left) {
    return append_durably_with(system_file_steps(), path, bytes, error, part_left);
}

AppendResult append_durably_with(const FileSteps& steps, const std::string& path, const std::string& bytes,
                                 std::string& error, size_t* part_left) {
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
        steps.close(fd);
        return AppendResult::kNotWritten;
    }
    size_t written = 0;
    int failure = write_all(steps, fd, bytes, written);
    if (failure == 0 && steps.fsync(fd) != 0) failure = errno;
    if (failure != 0) {
        error = system_error_text(failure);
        const bool cut_back = steps.ftruncate(fd, opened.st_size) == 0 && steps.fsync(fd) == 0;
        steps.close(fd);
        if (cut_back) return AppendResult::kNotWritten;
        if (part_left != nullptr) *part_left = written;
        return written == 0 ? AppendResult::kNotWritten : AppendResult::kPartLeft;
    }
    if (steps.close(fd) != 0) {
        // The bytes were synced; a close that fails after that loses nothing
        // the disk holds, but the tool says so rather than vouch for it.
        error = system_error_text(errno);
        return bytes.empty() ? AppendResult::kNotWritten : AppendResult::kUnconfirmed;
    }
    if (!existed) {
        // A new file is on the disk only once its folder's entry is.
        const int folder = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            const bool synced = steps.fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP;
            const int sync_error = errno;
            steps.close(folder);
            if (!synced) {
                error = system_error_text(sync_error);
                return bytes.empty() ? AppendResult::kNotWritten : AppendResult::kUnconfirmed;
            }
        }
    }
    return AppendResult::kWritten;
}

}  // namespace zav::cli
