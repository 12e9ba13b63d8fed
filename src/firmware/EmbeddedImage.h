#pragma once
// The image built into the program: stored in image-text form with its vectors and name, and
// checked for length and sum when it is copied into the engine's image.

#include <cstdint>
#include <string_view>

#include "firmware/FirmwareImage.h"

namespace korr {

inline constexpr size_t kEmbeddedNameCapacity = 12;  // 11 characters and the NUL

struct EmbeddedImage {
    char name[kEmbeddedNameCapacity];
    uint8_t type;
    int32_t version;  // what the application compares device versions with
    uint32_t vectors[kVectorCount];
    std::string_view text;  // the stored text as compiled in, including any NUL inside it
    uint32_t length;        // expected number of characters
    int32_t sum;            // expected sum of the characters taken as signed 8-bit values
};

// Copies the embedded image into `image` and checks it: sets and returns image.status,
// 0 when intact, -101 when the length or the sum is wrong, -60 when memory runs out.
// The image's version is left alone: the application holds the built-in version itself.
int32_t BuildEmbeddedImage(FirmwareImage& image, const EmbeddedImage& embedded);

// The sum the check uses: every character as a signed 8-bit value, in a 32-bit total.
int32_t ImageTextSum(std::string_view text);

}  // namespace korr
