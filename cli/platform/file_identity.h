// Whether two names lead to one file, however they are spelt: through a
// link, "./name" for "name", another case on Windows. report must never
// write over one of its inputs, not even with --force. Each platform
// answers in its own file (posix/, win32/), by the file's identity rather
// than its name.
#pragma once

#include <string>

namespace zav::cli {

// True when both paths name an existing file and it is the same one (the
// device and inode on POSIX, the volume and file index on Windows); false
// when they differ or either cannot be looked at.
bool same_file(const std::string& first, const std::string& second);

}  // namespace zav::cli
