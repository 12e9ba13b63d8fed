#pragma once
// korrbsl sensor --port PORT [--set-address C] [--set-calibration TEXT] [--json]: the digital
// sensor behind the communication device, read and optionally changed.

#include "cli/Commands.h"

namespace korrcli {

void RegisterSensorCommand(CLI::App& app, Commands& commands);

}  // namespace korrcli
