#pragma once
// Every line of the SDI-12 layer goes to the one log at the protocol-detail level, under its own
// tag; an object without a log skips them.

#include "log/KorrLog.h"

namespace korr {
inline constexpr const char* kSDITag = "KorrSDI12";
}  // namespace korr

#define SDI_LOG(sdi, ...)                                                                          \
    do {                                                                                           \
        if ((sdi).log != nullptr) (sdi).log->Print(korr::LOG_VERBOSE, korr::kSDITag, __VA_ARGS__); \
    } while (0)
