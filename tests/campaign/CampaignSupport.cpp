#include "campaign/CampaignSupport.h"

#include <cstdio>
#include <vector>

#include "firmware/ImageSegments.h"

namespace korrcampaign {

// The bytes an image puts into flash, and whether the flash holds exactly those.
bool FlashHolds(const korrsim::Flash& flash, const korr::FirmwareImage& image, std::string* why) {
    std::vector<korr::ImageSegment> segments;
    if (korr::ListImageSegments(image.text, segments) != 1) return false;
    for (const korr::ImageSegment& s : segments) {
        for (uint32_t i = 0; i < s.Bytes(); ++i) {
            if (flash.Read(s.address + i) != korr::SegmentByte(image.text, s, i)) {
                char text[64];
                std::snprintf(text, sizeof text, "flash differs at %05X", s.address + i);
                *why = text;
                return false;
            }
        }
    }
    for (int i = 0; i < korr::kVectorCount; ++i) {
        if (flash.Word(korr::kVectorBase + 2u * static_cast<uint32_t>(i)) != image.vectors[i]) {
            *why = "vector table differs";
            return false;
        }
    }
    return true;
}

}  // namespace korrcampaign
