#pragma once
// What a person is told about a firmware file that cannot be read and about an image that does
// not fit the instrument: the window's boxes and the command line say the same.

#include <string>

#include "firmware/ImageFit.h"
#include "firmware/TIText.h"

namespace korr {

// Why reading stopped, as in `"ZZ" is not two hex digits`; empty when nothing is wrong.
std::string TITextStopText(const TITextStop& stop);

// What does not fit `device` (its display name), as in "the bytes 0x10000-0x137FF lie outside
// the Quorra Series 7's flash (0x1100-0xF9FF) and information memory (0x1000-0x10FF)".
std::string ImageFitText(const ImageFitProblem& problem, const TargetMemory& memory,
                         const std::string& device);

}  // namespace korr
