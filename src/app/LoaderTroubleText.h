#pragma once
// What a person is told stopped a loader step: the loader's refusal, or a line that damages
// its commands and answers (which calls for the cable to be checked, not the instrument).

#include <cstdint>
#include <string>

#include "bsl/LoaderLine.h"

namespace korr {

// The cause in lower case, to follow "error -1: "; empty for LoaderTrouble::None.
std::string LoaderTroubleMeaning(LoaderTrouble trouble, uint32_t repeated);
// The same as a paragraph added to the step's box ("\n\nThe firmware loader ..."); empty for
// LoaderTrouble::None.
std::string LoaderTroubleNote(LoaderTrouble trouble, uint32_t repeated);

}  // namespace korr
