#pragma once
// A TI-Text firmware file small enough to program in a few seconds at 9600 baud: `bytes` bytes
// of code at 0x1100, then `moreSections` as written, then the vectors with the reset vector at
// 0x1100.

#include <cstdio>
#include <string>

namespace korrtest {

inline std::string SmallFirmwareText(int bytes, const std::string& moreSections = "") {
    std::string text = "@1100\n";
    for (int i = 0; i < bytes; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "%02X%c", (i * 37 + 11) & 0xFF, i % 16 == 15 ? '\n' : ' ');
        text += b;
    }
    text += "\n" + moreSections + "@FFE0\n";
    for (int i = 0; i < 15; ++i) text += "FF FF ";
    return text + "00 11\nq\n";
}

}  // namespace korrtest
