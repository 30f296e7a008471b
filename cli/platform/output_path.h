// What lies at a path the tool is about to write, found out before anything
// is written and before a device is touched: a technician learns of a
// missing folder or an existing backup at once, not after the transfer.
// Each platform answers in its own file (posix/, win32/).
#pragma once

#include <string>

namespace zav::cli {

enum class PathKind {
    kNothing,      // no file there yet
    kRegularFile,  // a file that may be replaced (with --force)
    kFolder,
    kOther,        // a device, a FIFO, a socket: never replaced
};

struct OutputPathFacts {
    // The path after following symbolic links: what is written is the
    // link's target, and the link stays a link.
    std::string target;
    PathKind kind = PathKind::kNothing;
    // For kOther, what it is, for the message: "ein Gerät", "eine FIFO".
    std::string other_kind;
    // The folder that holds target, where the temporary file goes.
    std::string folder;
    // Empty when a new file may be made in folder; else why not, in the
    // tool's words ("nicht vorhanden", "keine Berechtigung").
    std::string folder_problem;
};

// Fills facts for path. Returns false with the reason in error when the
// path cannot be examined at all (a loop of links, no permission to look).
bool examine_output_path(const std::string& path, OutputPathFacts& facts, std::string& error);

}  // namespace zav::cli
