#include "models/Flash.h"

#include <algorithm>

namespace korrsim {

Flash::Flash(const FlashLayout& layout) : layout_(layout), bytes_(layout.size, 0xFF) {}

bool Flash::InMain(uint32_t address) const {
    return address >= layout_.mainStart && address <= layout_.mainEnd && address < bytes_.size();
}

bool Flash::Mapped(uint32_t address) const {
    const uint32_t infoEnd = layout_.infoStart + layout_.infoSegments * layout_.infoSegmentSize;
    if (address >= layout_.infoStart && address < infoEnd) return true;
    return InMain(address);
}

bool Flash::EraseSegment(uint32_t address) {
    if (InLoaderArea(address) || !Mapped(address)) return false;
    const uint32_t infoEnd = layout_.infoStart + layout_.infoSegments * layout_.infoSegmentSize;
    if (address >= layout_.infoStart && address < infoEnd) {
        const uint32_t size = layout_.infoSegmentSize;
        const uint32_t start = layout_.infoStart + (address - layout_.infoStart) / size * size;
        for (uint32_t a = start; a < start + size; ++a) bytes_[a] = 0xFF;
        return true;
    }
    // A main segment that straddles the edge of main memory erases only its mapped part.
    const uint32_t start = address / kMainSegmentSize * kMainSegmentSize;
    for (uint32_t a = start; a < start + kMainSegmentSize && a < bytes_.size(); ++a) {
        if (!InLoaderArea(a) && InMain(a)) bytes_[a] = 0xFF;
    }
    return true;
}

bool Flash::Program(uint32_t address, uint8_t value) {
    if (InLoaderArea(address) || !Mapped(address)) return false;
    bytes_[address] &= value;
    return bytes_[address] == value;
}

bool Flash::WriteVectors(const uint16_t vectors[16]) {
    if (bytes_.size() < 0x10000) return false;
    for (int i = 0; i < 16; ++i) {
        uint32_t a = kVectorTable + 2u * static_cast<uint32_t>(i);
        bytes_[a] = static_cast<uint8_t>(vectors[i] & 0xFF);
        bytes_[a + 1] = static_cast<uint8_t>(vectors[i] >> 8);
    }
    return true;
}

void Flash::Load(uint32_t address, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count && address + i < bytes_.size(); ++i) bytes_[address + i] = data[i];
}

uint64_t Flash::ProgramFingerprint() const {
    const uint32_t infoEnd = layout_.infoStart + layout_.infoSegments * layout_.infoSegmentSize;
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (uint32_t a = 0; a < bytes_.size(); ++a) {
        if (a >= layout_.infoStart && a < infoEnd) continue;
        hash = (hash ^ bytes_[a]) * 0x100000001B3ull;
    }
    return hash;
}

void Flash::EraseAll() {
    std::fill(bytes_.begin(), bytes_.end(), 0xFF);
}

}  // namespace korrsim
