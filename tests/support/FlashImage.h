#pragma once
// Writes an image into a simulated flash as the loader would leave it: the segments and the
// vectors. `damaged` flips one bit in the middle of each segment, so the firmware starts but
// fails its self-test.

#include <cstdint>
#include <vector>

#include "firmware/ImageSegments.h"
#include "firmware/FirmwareImage.h"
#include "models/Flash.h"

namespace korrtest {

inline void WriteImage(korrsim::Flash& flash, const korr::FirmwareImage& image,
                       bool damaged = false) {
    std::vector<korr::ImageSegment> segments;
    if (korr::ListImageSegments(image.text, segments) != 1) return;
    for (const korr::ImageSegment& s : segments) {
        std::vector<uint8_t> bytes(s.Bytes());
        for (uint32_t i = 0; i < s.Bytes(); ++i) bytes[i] = korr::SegmentByte(image.text, s, i);
        if (damaged) bytes[bytes.size() / 2] ^= 0x10;
        flash.Load(s.address, bytes.data(), bytes.size());
    }
    uint16_t vectors[korr::kVectorCount];
    for (int i = 0; i < korr::kVectorCount; ++i)
        vectors[i] = static_cast<uint16_t>(image.vectors[i]);
    flash.WriteVectors(vectors);
}

}  // namespace korrtest
