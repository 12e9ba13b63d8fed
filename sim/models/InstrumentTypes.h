#pragma once
// The instruments the simulator can stand in for, with what their loader needs: the flash
// layout, the loader's baud rate and how long a restart takes. Written from the protocol
// description; the updater keeps its own table.

#include <cstdint>
#include <string_view>

#include "core/EventLoop.h"
#include "models/Flash.h"

namespace korrsim {

struct InstrumentType {
    const char* code;
    int number;  // the type number the instrument family uses
    FlashLayout flash;
    uint32_t loaderBaud;
    TimeUs restart;  // from the vector table written to the new firmware running
};

inline constexpr uint32_t kFirmwareBaud = 9600;

namespace detail {
// Most instruments share the 16-bit map and a 9600-baud loader.
constexpr InstrumentType Common(const char* code, int number) {
    return InstrumentType{.code = code,
                          .number = number,
                          .flash = FlashLayout{.infoStart = 0x1000,
                                               .infoSegmentSize = 128,
                                               .infoSegments = 2,
                                               .mainStart = 0x1100,
                                               .mainEnd = 0xF9FF,
                                               .size = 0x10000},
                          .loaderBaud = 9600,
                          .restart = 750 * kUsPerMs};
}
}  // namespace detail

inline constexpr InstrumentType kInstrumentTypes[] = {
    detail::Common("TR3", 1),
    detail::Common("TR3B", 2),
    detail::Common("TR30", 3),
    detail::Common("KS", 4),
    detail::Common("WH", 5),
    detail::Common("QMINI", 6),
    detail::Common("TM", 7),
    detail::Common("CZ40", 8),
    detail::Common("SZ", 9),
    InstrumentType{.code = "MORVA-XE",
                   .number = 10,
                   .flash = FlashLayout{.infoStart = 0x1000,
                                        .infoSegmentSize = 64,
                                        .infoSegments = 3,
                                        .mainStart = 0x8000,
                                        .mainEnd = 0xF9FF,
                                        .size = 0x10000},
                   .loaderBaud = 9600,
                   .restart = 750 * kUsPerMs},
    detail::Common("SORB", 11),
    detail::Common("QS7", 12),
    detail::Common("MCD", 13),
    detail::Common("HV", 14),
    // The two 20-bit parts: flash above 64 KiB and a faster loader.
    InstrumentType{.code = "QE8",
                   .number = 15,
                   .flash = FlashLayout{.infoStart = 0x1000,
                                        .infoSegmentSize = 64,
                                        .infoSegments = 3,
                                        .mainStart = 0x2100,
                                        .mainEnd = 0x1FFFF,
                                        .size = 0x20000},
                   .loaderBaud = 57600,
                   .restart = 3000 * kUsPerMs},
    InstrumentType{.code = "QVX",
                   .number = 16,
                   .flash = FlashLayout{.infoStart = 0x1800,
                                        .infoSegmentSize = 128,
                                        .infoSegments = 3,
                                        .mainStart = 0x5C00,
                                        .mainEnd = 0x3BFFF,
                                        .size = 0x3C000},
                   .loaderBaud = 57600,
                   .restart = 6000 * kUsPerMs},
    detail::Common("HYP9", 17),
    detail::Common("RB2", 18),
    detail::Common("ZLG", 19),
};

// The type with this code (exact, upper case), or null.
constexpr const InstrumentType* FindInstrumentType(std::string_view code) {
    for (const InstrumentType& t : kInstrumentTypes) {
        if (code == t.code) return &t;
    }
    return nullptr;
}

}  // namespace korrsim
