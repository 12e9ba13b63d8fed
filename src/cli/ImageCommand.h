#pragma once
// korrbsl image info|dump: the firmware image, built in or from a TI-Text file.

#include "cli/Commands.h"

namespace korrcli {

void RegisterImageCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
