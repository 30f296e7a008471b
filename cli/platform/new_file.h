// A file the tool makes new and fills as the run goes, a line at a time
// (the frame trace): never made over an existing file, and each piece
// handed to the system in one write, so that a run cut short leaves whole
// lines behind. Each platform answers in its own file (posix/, win32/).
#pragma once

#include <memory>
#include <string>

namespace zav::cli {

class NewFile {
public:
    virtual ~NewFile() = default;

    // Appends bytes; false with the reason in the tool's words.
    virtual bool write(const std::string& bytes, std::string& error) = 0;

    // Puts what was written on the disk and closes the file; false with the
    // reason when that fails. Called once; the destructor closes a file
    // that was not closed, without a word.
    virtual bool close(std::string& error) = 0;
};

// Makes path as a new, empty file. Null with the reason in error when it
// cannot be made; exists is set when a file (or anything else) is there.
std::unique_ptr<NewFile> create_new_file(const std::string& path, bool& exists, std::string& error);

}  // namespace zav::cli
