// The serial line zavsim offers: a pseudo-terminal, and the link by which
// the program finds it (a dosdevices/comN link, a port for zavctl). The
// line can be hung up and brought back on a new terminal behind the same
// link, as when a USB adapter is pulled and plugged in again, or held, as
// when another program has the port open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zav::sim {

class Line {
public:
    // link_path "" for no link; quiet: no word on standard output.
    Line(std::string link_path, long byte_time_ns, bool quiet);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Opens the first terminal; false with errno set when it cannot.
    bool open();
    // Makes the link point at the terminal (whatever was there goes);
    // false with errno set when it cannot.
    bool attach_link();
    // At the end: removes the link if it still leads to this line.
    void detach_link();

    // The descriptor to read the program's bytes from; -1 while hung up.
    int fd() const { return master_; }
    bool down() const { return down_; }
    bool has_link() const { return !link_path_.empty(); }
    // The terminal the line has now, or had last.
    const std::string& terminal() const { return terminal_; }
    // The time one byte takes on the line (10 bits at the line's speed).
    long byte_time_ns() const { return byte_time_ns_; }

    // Writes to the program at once; nothing while hung up.
    void write(const uint8_t* bytes, size_t n);

    // Closes the terminal and points the link at a folder, so that
    // opening the port fails until the line comes back.
    void hang_up();
    // A new terminal behind the same link; false when none can be opened.
    bool come_back();
    // The port is taken: the link leads to a folder; the line stays as it is.
    bool hold();
    // The link leads to the terminal again.
    bool release();

    // The descriptors of process pid that are open on the line (a terminal
    // it has had, or the folder of a held or hung-up line). False when its
    // descriptors cannot be read.
    bool count_openers(long pid, long& count) const;

private:
    bool open_terminal();
    bool relink(const std::string& target);
    std::string link_folder() const { return link_path_ + ".gone"; }
    bool point_link_at_folder();
    void say(const std::string& what) const;

    std::string link_path_;
    long byte_time_ns_;
    bool quiet_;
    int master_ = -1;
    int slave_ = -1;
    bool down_ = false;
    std::string terminal_;
    std::vector<std::string> terminals_;  // every terminal the line has had
};

}  // namespace zav::sim
