#include "cli/platform/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "cli/platform/system_error_text.h"
#include "cli/platform/user_folders.h"

namespace zav::cli {

namespace {

class PosixNewFile final : public NewFile {
public:
    PosixNewFile(int fd, std::string folder) : fd_(fd), folder_(std::move(folder)) {}
    ~PosixNewFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool write(const std::string& bytes, std::string& error) override {
        const char* next = bytes.data();
        size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(fd_, next, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error = system_error_text(written == 0 ? EIO : errno);
                return false;
            }
            next += written;
            left -= static_cast<size_t>(written);
        }
        return true;
    }

    bool close(std::string& error) override {
        bool ok = fsync(fd_) == 0;
        int failed = ok ? 0 : errno;
        if (::close(fd_) != 0 && ok) {
            ok = false;
            failed = errno;
        }
        fd_ = -1;
        // The new file is on the disk only once its folder's entry is.
        const int folder = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            if (fsync(folder) != 0 && errno != EINVAL && errno != ENOTSUP && ok) {
                ok = false;
                failed = errno;
            }
            ::close(folder);
        }
        if (!ok) error = system_error_text(failed);
        return ok;
    }

private:
    int fd_;
    std::string folder_;
};

}  // namespace

std::unique_ptr<NewFile> create_new_file(const std::string& path, bool& exists, std::string& error) {
    exists = false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        exists = errno == EEXIST;
        error = system_error_text(errno);
        return nullptr;
    }
    return std::make_unique<PosixNewFile>(fd, folder_of(path));
}

}  // namespace zav::cli
