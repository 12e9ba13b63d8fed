#pragma once
// korrbsl ports [--all]: the serial ports as the window's port list shows them.

#include <cstdio>

#include "cli/Commands.h"

namespace korr {
class KorrLog;
}

namespace korrcli {

void RegisterPortsCommand(CLI::App& app, Commands& commands);
// Prints the port list to out; returns the exit status. The log may be null.
int PrintPortList(std::FILE* out, bool findAll, korr::KorrLog* log);

}  // namespace korrcli
