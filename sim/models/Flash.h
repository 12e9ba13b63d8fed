#pragma once
// Flash memory of a simulated target: erased bytes read 0xFF, programming can only clear bits,
// main memory erases in 512-byte segments, information memory in its own segments, and the
// loader's own area (0xFA00-0xFFFF, vectors aside) is protected.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korrsim {

struct FlashLayout {
    uint32_t infoStart = 0x1000;
    uint32_t infoSegmentSize = 128;
    uint32_t infoSegments = 2;
    uint32_t mainStart = 0x1100;
    uint32_t mainEnd = 0xF9FF;  // inclusive
    uint32_t size = 0x10000;    // bytes of address space modelled
};

inline constexpr uint32_t kMainSegmentSize = 512;
inline constexpr uint32_t kLoaderAreaStart = 0xFA00;
inline constexpr uint32_t kLoaderAreaEnd = 0xFFFF;
inline constexpr uint32_t kVectorTable = 0xFFE0;

class Flash {
  public:
    explicit Flash(const FlashLayout& layout);

    const FlashLayout& Layout() const { return layout_; }
    uint8_t Read(uint32_t address) const {
        return address < bytes_.size() ? bytes_[address] : 0xFF;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // Erases the segment that holds the address; false for the loader area or unmapped memory.
    bool EraseSegment(uint32_t address);
    // Programs one byte (bits can only be cleared); false when protected, unmapped, or when the
    // stored value differs from the one asked for (a bit would have had to be set).
    bool Program(uint32_t address, uint8_t value);
    // The loader itself writes the vector table at the end of an update.
    bool WriteVectors(const uint16_t vectors[16]);
    uint16_t Word(uint32_t address) const {
        return static_cast<uint16_t>(Read(address) | (Read(address + 1) << 8));
    }
    // Loads bytes directly (a device that left the factory with firmware on it).
    void Load(uint32_t address, const uint8_t* data, size_t count);
    void EraseAll();
    // A fingerprint of the program memory (everything but the information memory): the same
    // fingerprint means the same program as before.
    uint64_t ProgramFingerprint() const;

    static bool InLoaderArea(uint32_t address) {
        return address >= kLoaderAreaStart && address <= kLoaderAreaEnd;
    }

    // Information memory or main memory (the loader area included; it refuses on its own).
    bool Mapped(uint32_t address) const;
    bool InMain(uint32_t address) const;

  private:
    FlashLayout layout_;
    std::vector<uint8_t> bytes_;
};

}  // namespace korrsim
