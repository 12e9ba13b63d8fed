#pragma once
// The settings file around an update: a file that an unfinished update left holds the only
// copy of an instrument's own settings, so it is moved aside, never overwritten, and a file
// whose settings did not all go back is kept.

#include <cstdint>
#include <ctime>
#include <string>

namespace korr {

// The name a left-over settings file is moved to: "<stem>.<yyyy-mm-dd_hh-mm-ss><ext>" beside
// it ("Quorra Series 7.settings.2026-12-01_09-30-00.txt"), with "-2", "-3"... when taken.
std::string AsideName(const std::string& path, std::time_t localTime);

// Moves an existing file to its aside name. 0 nothing there, 1 moved (the new path in *moved),
// or a negated errno.
int32_t MoveAside(const std::string& path, std::time_t localTime, std::string* moved);

bool FileExists(const std::string& path);

}  // namespace korr
