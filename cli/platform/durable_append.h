// Appending to a log so that what was written survives a crash or a pulled
// plug: the audit log gets one line per device, and a device programmed
// must never be missing from it. A line that cannot be written whole is
// taken back, so that a full disk leaves no half line for the next one to
// follow.
#pragma once

#include <cstddef>
#include <string>

namespace zav::cli {

enum class AppendResult {
    kWritten,     // every byte is on the disk
    kNotWritten,  // none is: the write failed before anything was written, or what was written is cut back
    kPartLeft,    // the write failed and what was written of it could not be cut back
    // Every byte is in the file and was synced, but the system did not
    // confirm the end: closing the file, or syncing the folder of a new
    // file, failed. What the file holds is whole; that a crash now cannot
    // take it is not vouched for.
    kUnconfirmed,
};

// Appends bytes to the file at path, making it when it is missing, and
// returns kWritten only once they are on the disk (the file synced, and
// the folder too when the file is new). When the bytes cannot all be
// written, the file is cut back to the length it had; error then says why
// in the tool's words (for kPartLeft, why the write failed, and part_left,
// when given, how many of the bytes stayed in the file, from the first).
AppendResult append_durably(const std::string& path, const std::string& bytes, std::string& error,
                            size_t* part_left = nullptr);

}  // namespace zav::cli
