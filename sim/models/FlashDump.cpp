#include "models/FlashDump.h"

#include <cstdio>

namespace korrsim {

namespace {

constexpr uint32_t kLine = 16;

bool Erased(const Flash& flash, uint32_t address) {
    for (uint32_t i = 0; i < kLine; ++i) {
        if (flash.Read(address + i) != 0xFF) return false;
    }
    return true;
}

// Dumps [from, to) in 16-byte lines; a new section starts wherever erased lines were skipped.
void DumpRange(const Flash& flash, uint32_t from, uint32_t to, std::string& out) {
    bool inSection = false;
    char text[16];
    for (uint32_t line = from; line < to; line += kLine) {
        if (Erased(flash, line)) {
            inSection = false;
            continue;
        }
        if (!inSection) {
            std::snprintf(text, sizeof text, "@%04X\n", line);
            out += text;
            inSection = true;
        }
        for (uint32_t i = 0; i < kLine && line + i < to; ++i) {
            std::snprintf(text, sizeof text, i == 0 ? "%02X" : " %02X", flash.Read(line + i));
            out += text;
        }
        out += '\n';
    }
}

}  // namespace

std::string FlashToTiText(const Flash& flash) {
    const FlashLayout& l = flash.Layout();
    std::string out;
    DumpRange(flash, l.infoStart, l.infoStart + l.infoSegments * l.infoSegmentSize, out);
    // Main memory below the loader, then above it on the 20-bit parts.
    const uint32_t mainEnd = l.mainEnd + 1;
    DumpRange(flash, l.mainStart, mainEnd < kLoaderAreaStart ? mainEnd : kLoaderAreaStart, out);
    DumpRange(flash, kVectorTable, kLoaderAreaEnd + 1, out);
    if (mainEnd > kLoaderAreaEnd + 1) DumpRange(flash, kLoaderAreaEnd + 1, mainEnd, out);
    out += "q\n";
    return out;
}

}  // namespace korrsim
