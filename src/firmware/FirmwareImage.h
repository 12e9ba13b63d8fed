#pragma once
// The firmware image in memory: image text ('@' + 5 address digits, then 16-bit words as four
// hex digits, high byte first) plus the 16 interrupt vectors for 0xFFE0..0xFFFE.

#include <cstdint>
#include <string>

namespace korr {

inline constexpr size_t kImageNameCapacity = 65;  // 64 characters and the NUL
inline constexpr int kVectorCount = 16;
inline constexpr uint32_t kVectorBase = 0xFFE0;
inline constexpr uint32_t kUnsetVector = 0xFFFF;

struct FirmwareImage {
    char name[kImageNameCapacity] = {};
    int32_t version = 0;
    uint8_t type = 0;    // device-type code; 0 = unknown
    int32_t status = 0;  // 0 good, -60 out of memory, -101 built-in image damaged
    uint32_t length = 0;
    std::string text;
    uint32_t vectors[kVectorCount] = {};
};

}  // namespace korr
