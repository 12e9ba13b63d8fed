#pragma once
// What the firmware in a simulated target's flash says about itself: the identity block that
// every image carries (magic "KorrFWID", device code, version text, image range, CRC), checked
// the way the instrument's start-up self-test checks it.

#include <cstdint>
#include <string>

#include "models/Flash.h"

namespace korrsim {

enum class FirmwareState {
    Erased,   // nothing to start: the loader keeps running
    Sound,    // starts, reports its code and version, passes its self-test
    Corrupt,  // starts, but its self-test fails
};

struct FirmwareIdentity {
    FirmwareState state = FirmwareState::Erased;
    std::string code;     // from the identity block; empty when none was found
    std::string version;  // e.g. "3.60"
};

FirmwareIdentity ReadFirmwareIdentity(const Flash& flash);

// CRC-16/CCITT-FALSE step (polynomial 0x1021), the integrity check of the identity block.
uint16_t FirmwareCrcStep(uint16_t crc, uint8_t byte);

}  // namespace korrsim
