#pragma once
// The settings that a save asked the device for and did not get (KDSaveInfo's -35), by the
// names of their get commands, so that a person can be told what an update would lose.

#include <string>
#include <vector>

#include "instrument/Korr_protocol.h"

namespace korr {

std::vector<std::string> SettingsNotCollected(const Korr_protocol& protocol);

// The names joined with ", ".
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace korr
