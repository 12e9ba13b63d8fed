#pragma once
// The flash of a simulated target as a standard TI-Text file: '@' address lines, 16 bytes a
// line (low address first, separated by blanks) and a closing 'q'. Lines of erased bytes are
// left out, so the file holds what was programmed: information memory, main memory and the
// vector table. The loader's own code is not part of the dump.

#include <string>

#include "models/Flash.h"

namespace korrsim {

std::string FlashToTiText(const Flash& flash);

}  // namespace korrsim
