#pragma once
// korrbsl identify --settings on an instrument: the settings its type keeps, read the way the
// update saves them.

#include <cstdint>

#include "log/KorrLog.h"

namespace korrcli {

// Whether the device type keeps instrument settings (rather than a logger's record).
bool HasInstrumentSettings(int deviceType);

// Connects as the update does (with the access code where the type wants it), reads the type's
// settings and prints them. Returns the exit status.
int ShowInstrumentSettings(const char* port, korr::KorrLog* log);

}  // namespace korrcli
