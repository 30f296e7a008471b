// A log line that could not be written whole is cut back, and what the file
// holds when even that fails, or when the system does not confirm the end,
// is told as it is: the series and a restart read the same from it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "cli/platform/posix/file_steps.h"

namespace zav::cli {
namespace {

// Which step fails, and how: each test sets what it needs.
struct Faults {
    long write_stops_after = -1;  // bytes that get into the file before a write fails (-1: none fails)
    int failing_fsync = 0;         // the n-th fsync fails (0: none)
    bool truncate_fails = false;
    bool close_fails = false;
};
Faults g_faults;
int g_fsyncs = 0;
long g_written = 0;

ssize_t faulty_write(int fd, const void* bytes, size_t count) {
    if (g_faults.write_stops_after >= 0) {
        const long room = g_faults.write_stops_after - g_written;
        if (room <= 0) {
            errno = ENOSPC;
            return -1;
        }
        if (static_cast<long>(count) > room) count = static_cast<size_t>(room);
    }
    const ssize_t done = system_file_steps().write(fd, bytes, count);
    if (done > 0) g_written += done;
    return done;
}

int faulty_fsync(int fd) {
    if (++g_fsyncs == g_faults.failing_fsync) {
        errno = EIO;
        return -1;
    }
    return system_file_steps().fsync(fd);
}

int faulty_ftruncate(int fd, off_t length) {
    if (g_faults.truncate_fails) {
        errno = EIO;
        return -1;
    }
    return system_file_steps().ftruncate(fd, length);
}

int faulty_close(int fd) {
    const int closed = system_file_steps().close(fd);
    if (g_faults.close_fails) {
        errno = EIO;
        return -1;
    }
    return closed;
}

const FileSteps kFaulty = {faulty_write, faulty_fsync, faulty_ftruncate, faulty_close};

std::string content_of(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct Append {
    AppendResult result;
    size_t part_left;
    std::string file;  // what the file holds after it
};

// The line appended to a log that holds "earlier\n" (or to a new log), with
// these faults.
Append append_with(const Faults& faults, bool new_file = false) {
    char pattern[] = "/tmp/zav-append-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string path = folder + "/serie.jsonl";
    if (!new_file) std::ofstream(path) << "earlier\n";
    g_faults = faults;
    g_fsyncs = 0;
    g_written = 0;
    std::string error;
    size_t part_left = 0;
    const AppendResult result = append_durably_with(kFaulty, path, "{\"line\": 2}\n", error, &part_left);
    Append append{result, part_left, content_of(path)};
    unlink(path.c_str());
    rmdir(folder.c_str());
    return append;
}

TEST(DurableAppend, SaysWhatTheFileHoldsWhateverStepFails) {
    // A full disk: what got in is cut back.
    Append append = append_with({5, 0, false, false});
    EXPECT_EQ(append.result, AppendResult::kNotWritten);
    EXPECT_EQ(append.file, "earlier\n");
    // ... unless cutting back fails too: the part is left, and how long it is.
    append = append_with({5, 0, true, false});
    EXPECT_EQ(append.result, AppendResult::kPartLeft);
    EXPECT_EQ(append.part_left, 5u);
    EXPECT_EQ(append.file, "earlier\n{\"lin");
    // A sync that fails after every byte got in, and no cutting back: all of it is left.
    append = append_with({-1, 1, true, false});
    EXPECT_EQ(append.result, AppendResult::kPartLeft);
    EXPECT_EQ(append.part_left, 12u);
    // Synced whole, but the close fails, or the folder of a new log will not sync:
    // the line is whole in the file, and not confirmed.
    append = append_with({-1, 0, false, true});
    EXPECT_EQ(append.result, AppendResult::kUnconfirmed);
    EXPECT_EQ(append.file, "earlier\n{\"line\": 2}\n");
    append = append_with({-1, 2, false, false}, true);
    EXPECT_EQ(append.result, AppendResult::kUnconfirmed);
    EXPECT_EQ(append.file, "{\"line\": 2}\n");
    // Nothing fails.
    EXPECT_EQ(append_with({}, true).result, AppendResult::kWritten);
}

}  // namespace
}  // namespace zav::cli
