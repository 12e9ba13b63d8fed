#include "firmware/ImageSegments.h"

#include <new>

#include "firmware/TIText.h"

namespace korr {

namespace {

constexpr size_t kAddressDigits = 5;

bool ReadSegmentAddress(std::string_view text, size_t at, uint32_t* address) {
    if (text.size() - at < 1 + kAddressDigits) return false;
    uint32_t value = 0;
    for (size_t i = at + 1; i <= at + kAddressDigits; ++i) {
        if (!IsHexDigit(text[i])) return false;
        value = value << 4 | HexValue(text[i]);
    }
    *address = value;
    return true;
}

}  // namespace

int32_t ListImageSegments(std::string_view text, std::vector<ImageSegment>& segments) {
    segments.clear();
    try {
        size_t pos = 0;
        while (pos < text.size()) {
            ImageSegment segment;
            if (text[pos] != '@' || !ReadSegmentAddress(text, pos, &segment.address)) {
                return kImageDamaged;
            }
            segment.digitsOffset = pos + 1 + kAddressDigits;
            size_t end = text.find('@', segment.digitsOffset);
            if (end == std::string_view::npos) end = text.size();
            for (size_t i = segment.digitsOffset; i < end; ++i) {
                if (!IsHexDigit(text[i])) return kImageDamaged;
            }
            const size_t digits = end - segment.digitsOffset;
            if (digits % 4 != 0) return kImageDamaged;
            segment.words = static_cast<uint32_t>(digits / 4);
            segments.push_back(segment);
            pos = end;
        }
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    return 1;
}

uint8_t SegmentByte(std::string_view text, const ImageSegment& segment, uint32_t index) {
    // Word w is written high byte first: digits 0-1 are the byte at 2w+1, digits 2-3 at 2w.
    const size_t word = segment.digitsOffset + (index / 2) * 4;
    const size_t at = word + (index % 2 == 0 ? 2 : 0);
    return static_cast<uint8_t>(HexValue(text[at]) << 4 | HexValue(text[at + 1]));
}

}  // namespace korr
