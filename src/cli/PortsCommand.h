#pragma once
// korrbsl ports [--all]: the serial ports as the window's port list shows them.

#include <cstdio>

#include "cli/Commands.h"

namespace korrcli {

void RegisterPortsCommand(CLI::App& app, Commands& commands);
// Prints the port list to out; returns the exit status.
int PrintPortList(std::FILE* out, bool findAll);

}  // namespace korrcli
