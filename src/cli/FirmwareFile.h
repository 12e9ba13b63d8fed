#pragma once
// Opening a TI-Text firmware file the same way in every command: the same status and the same
// line for a file that cannot be read, and for one that is not TI-Text the line where reading
// stopped.

#include <string>

#include "bsl/KorrBSLHost.h"

namespace korrcli {

// Loads the file into the host's image. kExitOk, or the exit status of a failure after its
// line was printed.
int LoadFirmwareFile(korr::KorrBSLHost& host, const std::string& path);

}  // namespace korrcli
