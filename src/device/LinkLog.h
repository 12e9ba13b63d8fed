#pragma once
// Log lines of the device layer carry the port's name as their tag; a link without a log
// skips them.

#include "device/MORVA_Protocol.h"
#include "serial/Clock.h"

#define LINK_LOG(link, level, ...)                                                          \
    do {                                                                                    \
        if ((link).log != nullptr) (link).log->Print(level, (link).port.name, __VA_ARGS__); \
    } while (0)

namespace korr {

// Stands in for a secret in the log: the log file goes to support.
inline constexpr const char* kMaskedSecret = "********";

// The command as the log may show it: the value of a password or key setting is masked.
void LoggableCommand(const char* command, char* out, size_t capacity);

// Milliseconds since `start`, for the "(%d ms)" at the end of a log line.
inline int ElapsedMs(uint32_t start) {
    return static_cast<int>(TickMs() - start);
}

}  // namespace korr
