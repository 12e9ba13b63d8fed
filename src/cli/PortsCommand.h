#pragma once
// korrbsl ports [--all]: the serial ports as the window's port list shows them.

#include "cli/Commands.h"

namespace korrcli {

void RegisterPortsCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
