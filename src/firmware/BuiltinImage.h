#pragma once
// The image this build installs, generated from a TI-Text file when the program is built.

#include "firmware/EmbeddedImage.h"

namespace korr {

extern const EmbeddedImage kBuiltinImage;

}  // namespace korr
