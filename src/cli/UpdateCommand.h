#pragma once
// korrbsl update: the whole update of an instrument, as the window runs it, for technicians,
// factory scripts and headless machines.

#include "cli/Commands.h"

namespace korrcli {

// A question answered Cancel ended the update.
inline constexpr int kExitCancelled = 3;
// Updated, but the instrument's settings are not all back.
inline constexpr int kExitSettingsNotBack = 4;

void RegisterUpdateCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
