#pragma once
// The first thing every command that talks through a port does: try the port the user named,
// before any protocol runs, so that a failure of the port itself (missing, not a terminal, held
// by another program, not ours to open) is reported as such, naming the port, and is never
// mistaken for a device's result code that shares its number.

#include <string>

#include "log/KorrLog.h"

namespace korrcli {

// The port's system error as a light open finds it: 0 usable, else the errno (positive).
// A path that exists but is no terminal (a file, a directory, /dev/null) gives ENOTTY.
int TryPort(const std::string& port);

// An empty name is a usage error; a port that cannot be used is reported (and logged) with
// PortErrorText. Returns kExitOk when the command may go on, else the exit status to return.
int CheckPort(const char* command, const std::string& port, korr::KorrLog* log);

}  // namespace korrcli
