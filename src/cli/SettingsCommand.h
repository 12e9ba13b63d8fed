#pragma once
// korrbsl settings save|restore|show: an instrument's settings put into a settings file and
// back, on their own (a backup before risky work, settings put back after a failed update), and
// what such a file holds.

#include "cli/Commands.h"

namespace korrcli {

void RegisterSettingsCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
