// Where the tool keeps what belongs to the user rather than to one command:
// the copies of each device's configuration taken before it is written.
// Each platform answers in its own file (posix/, win32/).
#pragma once

#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

// The folder for backups when --backup-dir names none, as the platform's
// rules place a program's state: on Linux $XDG_STATE_HOME/zavkonfig/
// sicherungen, or ~/.local/state/zavkonfig/sicherungen when that is unset or
// not an absolute path; on Windows %LOCALAPPDATA%\zavkonfig\Sicherungen.
// Not made here. Fails (exit 2) when the system names no home at all.
Outcome default_backup_folder(std::string& folder);

// Makes folder and whichever folders above it are missing; the ones made
// are for the user alone where the system knows owners (backups name
// vehicles and addresses). Returns false with the reason in the tool's
// words; a folder that is there already is no failure.
bool make_folders(const std::string& folder, std::string& error);

// name inside folder, with the platform's separator.
std::string path_in_folder(const std::string& folder, const std::string& name);

// The folder that holds the file at path: "." for a bare name, the root
// for a file in it (on Windows with its drive: "C:\\", and "C:." for
// "C:name").
std::string folder_of(const std::string& path);

// The name the user logged in with, as UTF-8; "" when the system says none.
std::string login_name();

}  // namespace zav::cli
