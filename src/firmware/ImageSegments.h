#pragma once
// The segments of an image text: where each starts and how many words it holds.

#include <cstdint>
#include <string_view>
#include <vector>

namespace korr {

struct ImageSegment {
    uint32_t address = 0;     // byte address of the first word
    size_t digitsOffset = 0;  // offset in the text of the segment's first digit
    uint32_t words = 0;
    uint32_t Bytes() const { return words * 2; }
};

// Splits an image text into segments. Returns 1, -101 when the text is not in image-text form
// (a NUL inside included), -60 when memory runs out.
int32_t ListImageSegments(std::string_view text, std::vector<ImageSegment>& segments);

// Byte `index` of a segment listed from `text` (the low byte of a word comes first).
uint8_t SegmentByte(std::string_view text, const ImageSegment& segment, uint32_t index);

}  // namespace korr
