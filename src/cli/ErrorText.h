#pragma once
// The "error <code>: <what it means>" line of a failed command, and the meanings the commands
// share.

#include <cstdint>

namespace korrcli {

// Prints the line to stderr; returns the exit status of a failure.
int ReportError(int32_t code, const char* meaning);

// What a failure to open the port means; nullptr when code is no such failure.
const char* PortErrorMeaning(int32_t code);

// The last resort: the system's text for an errno code, else "unexpected error".
const char* SystemErrorMeaning(int32_t code);

}  // namespace korrcli
