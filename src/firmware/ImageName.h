#pragma once
// What a firmware file's name says about it: "QS7 3-60.txt" is the image "QS7 3.60" for device
// type 12 (code "QS7"), version 360.

#include <cstdint>

#include "firmware/FirmwareImage.h"

namespace korr {

struct ImageIdentity {
    char name[kImageNameCapacity] = {};
    uint8_t type = 0;  // 0 when the name starts with no known device code
    int32_t version = 0;
};

// The name is the part after the last '/' or '\\' (at most 64 characters), cut at ".txt".
ImageIdentity IdentityFromPath(const char* path);

}  // namespace korr
