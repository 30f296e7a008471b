#include "cli/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "cli/system_error_text.h"

namespace zav::cli {

namespace {

bool write_all(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error) {
    std::string temporary = path + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = system_error_text(errno);
        return false;
    }
    // mkstemp makes the file for its owner only; a configuration file is
    // made like any other file the user writes.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    const bool written = write_all(fd, bytes, count) && fsync(fd) == 0;
    const int write_error = errno;
    if (close(fd) != 0 || !written || rename(name.data(), path.c_str()) != 0) {
        error = system_error_text(written ? errno : write_error);
        unlink(name.data());
        return false;
    }
    return true;
}

}  // namespace zav::cli
