#include "sim/line.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "sim/write_all.h"

namespace zav::sim {

Line::Line(std::string link_path, long byte_time_ns, bool quiet)
    : link_path_(std::move(link_path)), byte_time_ns_(byte_time_ns), quiet_(quiet) {}

Line::~Line() {
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
}

bool Line::open() { return open_terminal(); }

bool Line::open_terminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
    terminal_ = ptsname(master_);
    terminals_.push_back(terminal_);
    // Holding the slave open keeps the master readable while the program has
    // the port closed (between transactions); otherwise it reads EIO.
    slave_ = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) return false;
    // The terminal becomes our own controlling terminal, so that no process
    // of the program's side (Wine's server opens ports without O_NOCTTY)
    // takes it as its own and is sent SIGHUP when the line is hung up.
    ioctl(slave_, TIOCSCTTY, 0);
    termios raw;
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B2400);
    cfsetospeed(&raw, B2400);
    tcsetattr(slave_, TCSANOW, &raw);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool Line::attach_link() {
    unlink(link_path_.c_str());
    return symlink(terminal_.c_str(), link_path_.c_str()) == 0;
}

void Line::detach_link() {
    if (link_path_.empty()) return;
    char target[256] = {};
    const std::string gone = link_folder();
    ssize_t n = readlink(link_path_.c_str(), target, sizeof target - 1);
    if (n > 0 && (terminal_ == target || gone == target)) unlink(link_path_.c_str());
    rmdir(gone.c_str());
}

void Line::write(const uint8_t* bytes, size_t n) {
    if (master_ >= 0) write_all(master_, bytes, n);
}

// Points the link at target (atomically, so an open never finds no link).
bool Line::relink(const std::string& target) {
    std::string temporary = link_path_ + ".new";
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), link_path_.c_str()) == 0;
}

// Wine would not refuse a second opening of a port that another Windows
// program has open unshared, nor can root be kept out of a terminal; a
// folder in its place makes the open fail, as a taken or absent port does.
bool Line::point_link_at_folder() {
    const std::string gone = link_folder();
    mkdir(gone.c_str(), 0700);
    return relink(gone);
}

bool Line::hold() { return point_link_at_folder(); }

bool Line::release() { return relink(terminal_); }

// Closing the master hangs the program's side up. The link then points at a
// folder, as with a pulled adapter. (Without any link Wine would fall back
// to /dev/ttyS0.)
void Line::hang_up() {
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
    master_ = slave_ = -1;
    if (!link_path_.empty()) point_link_at_folder();
    down_ = true;
    say("line hung up");
}

bool Line::come_back() {
    if (!open_terminal()) return false;
    if (!link_path_.empty() && !relink(terminal_)) return false;
    down_ = false;
    say("line back on " + terminal_);
    return true;
}

// What else the process has open is not the line's business.
bool Line::count_openers(long pid, long& count) const {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* descriptors = opendir(folder.c_str());
    if (descriptors == nullptr) return false;
    char absolute[PATH_MAX];
    const std::string link_folder_path =
        realpath(link_folder().c_str(), absolute) != nullptr ? std::string(absolute) : link_folder();
    count = 0;
    while (const dirent* entry = readdir(descriptors)) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const ssize_t length = readlink((folder + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        if (length <= 0) continue;
        std::string name(target, static_cast<size_t>(length));
        // A terminal or folder that is gone is still the line.
        const std::string deleted = " (deleted)";
        if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
            name.resize(name.size() - deleted.size());
        bool on_line = !link_path_.empty() && name == link_folder_path;
        for (const std::string& terminal : terminals_) on_line = on_line || name == terminal;
        if (on_line) ++count;
    }
    closedir(descriptors);
    return true;
}

void Line::say(const std::string& what) const {
    if (quiet_) return;
    printf("zavsim: %s\n", what.c_str());
    fflush(stdout);
}

}  // namespace zav::sim
