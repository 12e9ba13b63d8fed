#pragma once
// Log lines of the instrument protocol carry the tag "Korr_protocol"; an object without a log
// skips them.

#include "instrument/Korr_protocol.h"

#define INST_LOG(level, ...)                                                        \
    do {                                                                            \
        if (log != nullptr) log->Print(level, ::korr::kInstrumentTag, __VA_ARGS__); \
    } while (0)
