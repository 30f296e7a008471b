// The system calls a durable append makes once the file is open, in one
// place, so that a test can make each of them fail where a full disk or a
// network share would (durable_append.cpp).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "cli/platform/durable_append.h"

namespace zav::cli {

struct FileSteps {
    ssize_t (*write)(int fd, const void* bytes, size_t count);
    int (*fsync)(int fd);
    int (*ftruncate)(int fd, off_t length);
    int (*close)(int fd);
};

// The system's own.
const FileSteps& system_file_steps();

// append_durably, with these steps.
AppendResult append_durably_with(const FileSteps& steps, const std::string& path, const std::string& bytes,
                                 std::string& error, size_t* part_left);

}  // namespace zav::cli
