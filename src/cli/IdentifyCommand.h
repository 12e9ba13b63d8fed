#pragma once
// korrbsl identify --port PORT [--settings]: what the connected device is, and what an update
// of it involves.

#include "cli/Commands.h"

namespace korrcli {

void RegisterIdentifyCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
