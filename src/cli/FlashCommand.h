#pragma once
// korrbsl flash: the loader part of an update on its own, for an instrument whose loader is
// waiting after an interrupted update, and for factory lines.

#include "cli/Commands.h"

namespace korrcli {

void RegisterFlashCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
