#pragma once
// Whether an image can be programmed into a device type's memory as the loader will be asked to
// prepare it: checked before anything is erased, since an image that does not fit leaves an
// erased instrument that only its loader can talk to.

#include <cstdint>

#include "device/DeviceTypes.h"
#include "firmware/FirmwareImage.h"

namespace korr {

// What the loader erases and where an image may be written, as the update passes it to the
// loader's erase commands.
struct TargetMemory {
    uint32_t flashStart = 0;
    uint32_t flashEnd = 0;  // the erase runs below it; also the last byte of main flash
    uint32_t infoStart = 0;
    uint32_t infoSegments = 0;
    uint32_t infoSegmentSize = 0;
    bool fiveDigit = false;
};

TargetMemory TargetMemoryOf(const DeviceTypeRow& row);

inline constexpr uint32_t kFlashSegmentSize = 512;
inline constexpr uint32_t kLoaderFlashStart = 0xFA00;  // the loader's own flash up to 0xFFFF
inline constexpr uint32_t kLoaderFlashEnd = 0xFFFF;
inline constexpr uint32_t kAboveLoaderFlash = 0x10000;

// The address the flash erase sends after `address`: one segment on, over the loader's area.
constexpr uint32_t NextFlashErase(uint32_t address) {
    address += kFlashSegmentSize;
    return address >= kLoaderFlashStart && address <= kLoaderFlashEnd ? kAboveLoaderFlash : address;
}

enum class ImageFitFault : uint8_t {
    None,
    Malformed,          // the image text is not in image-text form
    Empty,              // no data to program
    InLoaderArea,       // data in the loader's own area
    OutsideMemory,      // data outside the type's flash and information memory
    NotErased,          // data where none of the erased segments reaches
    NoResetVector,      // the reset vector is not set
    ResetOutsideImage,  // the reset vector points where the image writes nothing
};

// The first thing found that does not fit: its fault and the bytes it concerns.
struct ImageFitProblem {
    ImageFitFault fault = ImageFitFault::None;
    uint32_t first = 0;
    uint32_t last = 0;
};

inline constexpr int32_t kImageDoesNotFit = -103;

// 1 when the image fits; kImageDoesNotFit with `problem` filled when it does not; kImageNoMemory
// when memory runs out.
int32_t CheckImageFit(const FirmwareImage& image, const TargetMemory& memory,
                      ImageFitProblem* problem);

}  // namespace korr
