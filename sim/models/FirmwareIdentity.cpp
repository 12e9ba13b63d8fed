#include "models/FirmwareIdentity.h"

#include <cstring>

namespace korrsim {

namespace {

constexpr char kMagic[] = "KorrFWID";
constexpr uint32_t kMagicSize = 8;
constexpr uint32_t kBlockSize = 34;
constexpr uint32_t kTextSize = 8;
constexpr uint32_t kResetVector = 0xFFFE;
constexpr uint16_t kErased = 0xFFFF;

struct Block {
    uint32_t at = 0;
    std::string code;
    std::string version;
    uint32_t start = 0;
    uint32_t end = 0;
    uint16_t integrity = 0;
};

uint32_t Long(const Flash& flash, uint32_t at) {
    return static_cast<uint32_t>(flash.Word(at)) | static_cast<uint32_t>(flash.Word(at + 2)) << 16;
}

std::string Text(const Flash& flash, uint32_t at) {
    std::string text;
    for (uint32_t i = 0; i < kTextSize; ++i) {
        const uint8_t c = flash.Read(at + i);
        if (c == 0) break;
        text += static_cast<char>(c);
    }
    return text;
}

bool FindBlock(const Flash& flash, Block* block) {
    const std::vector<uint8_t>& bytes = flash.Bytes();
    for (uint32_t a = 0; a + kBlockSize <= bytes.size(); a += 2) {
        if (std::memcmp(&bytes[a], kMagic, kMagicSize) != 0) continue;
        block->at = a;
        block->code = Text(flash, a + 8);
        block->version = Text(flash, a + 16);
        block->start = Long(flash, a + 24);
        block->end = Long(flash, a + 28);
        block->integrity = flash.Word(a + 32);
        return true;
    }
    return false;
}

bool Plausible(const Block& block, uint32_t flashSize, uint32_t reset) {
    return block.start % 2 == 0 && block.start < block.end && block.end <= flashSize &&
           block.at >= block.start && block.at + kBlockSize <= block.end && reset >= block.start &&
           reset < block.end;
}

uint16_t Integrity(const Flash& flash, const Block& block) {
    const uint32_t skip = block.at + 32;
    uint16_t crc = 0xFFFF;
    for (uint32_t a = block.start; a < block.end; ++a) {
        if (Flash::InLoaderArea(a) || a == skip || a == skip + 1) continue;
        crc = FirmwareCrcStep(crc, flash.Read(a));
    }
    return crc;
}

}  // namespace

uint16_t FirmwareCrcStep(uint16_t crc, uint8_t byte) {
    crc = static_cast<uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
        crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

FirmwareIdentity ReadFirmwareIdentity(const Flash& flash) {
    FirmwareIdentity id;
    const uint16_t reset = flash.Word(kResetVector);
    if (reset == kErased || flash.Word(reset) == kErased) return id;  // nothing to start

    id.state = FirmwareState::Corrupt;
    Block block;
    if (!FindBlock(flash, &block)) return id;
    id.code = block.code;
    id.version = block.version;
    const auto size = static_cast<uint32_t>(flash.Bytes().size());
    if (Plausible(block, size, reset) && Integrity(flash, block) == block.integrity) {
        id.state = FirmwareState::Sound;
    }
    return id;
}

}  // namespace korrsim
