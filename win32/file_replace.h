// Replacing a file so that it is afterwards either the complete new file or
// the old one untouched, never a half-written one: both Windows programs
// save configuration files this way, so that a full disk or a share that
// goes away while writing costs the user nothing they had.
#pragma once

#include <windows.h>

namespace zav {

// The step at which a replacement failed. The windowed program tells a file
// that could not be made at that name from one whose bytes did not all reach
// the disk.
enum class FileReplaceStep {
    kCreate,   // no temporary file could be made beside the target
    kWrite,    // the bytes were not all written and flushed
    kReplace,  // the target could not be replaced (read-only, held open, a folder)
};

struct FileReplaceFailure {
    FileReplaceStep step = FileReplaceStep::kCreate;
    DWORD system_error = 0;
};

// Writes count bytes to a new, uniquely named temporary file in the target's
// folder (two writers at once each get their own), flushes it to the disk,
// and only then moves it over path. On failure the temporary file is
// removed, path is as it was, and failure says where and why.
bool replace_file_contents(const char* path, const void* bytes, DWORD count, FileReplaceFailure& failure);

}  // namespace zav
