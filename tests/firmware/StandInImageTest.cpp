// The stand-in images of the firmware folder: made reproducibly, shaped like the real ones, and
// recognised by the simulated instrument from what its flash holds.
#include <gtest/gtest.h>

#include <vector>

#include "bsl/KorrBSLHost.h"
#include "firmware/EmbeddedImage.h"
#include "firmware/ImageSegments.h"
#include "models/FirmwareIdentity.h"
#include "models/Flash.h"
#include "support/Spawn.h"

using namespace korr;
using korrsim::FirmwareState;

namespace {

const std::string kFolder = KORR_FIRMWARE_DIR;
const char* const kImageFiles[] = {"QS7 3-60.txt", "QS7 3-61.txt", "QE8 2-10.txt"};

TEST(StandInImages, ToolMakesTheCommittedFilesAgain) {
    korrtest::TempDir dir;
    const korrtest::SpawnResult run = korrtest::Spawn(KORR_MAKE_IMAGES, {dir.Path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* file : kImageFiles) {
        EXPECT_EQ(korrtest::ReadFile(dir.File(file)), korrtest::ReadFile(kFolder + "/" + file))
            << file;
    }
}

TEST(StandInImages, QS7360HasTheShapeOfTheRealImage) {
    KorrBSLHost host(nullptr);
    ASSERT_EQ(host.BSLLoadTIFile((kFolder + "/QS7 3-60.txt").c_str()), 1);
    std::vector<ImageSegment> segments;
    ASSERT_EQ(ListImageSegments(host.image.text, segments), 1);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].address, 0x1100u);
    EXPECT_EQ(segments[0].words, 14974u);
    EXPECT_EQ(host.image.length, 59902u);
    EXPECT_EQ(ImageTextSum(host.image.text), 3255391);
    int set = 0;
    for (uint32_t v : host.image.vectors) set += v != kUnsetVector;
    EXPECT_EQ(host.image.vectors[15], 0x1100u) << "reset into the image";
    EXPECT_EQ(set, 3) << "reset and two interrupt handlers; the rest unused";
}

// Flash as the loader leaves it after programming `file`.
struct Programmed {
    explicit Programmed(const char* file, bool twentyBit = false)
        : flash(twentyBit ? korrsim::FlashLayout{.infoStart = 0x1000,
                                                 .infoSegmentSize = 64,
                                                 .infoSegments = 3,
                                                 .mainStart = 0x2100,
                                                 .mainEnd = 0x1FF00,
                                                 .size = 0x20000}
                          : korrsim::FlashLayout{}) {
        KorrBSLHost host(nullptr);
        if (host.BSLLoadTIFile((kFolder + "/" + file).c_str()) != 1) return;
        std::vector<ImageSegment> segments;
        ListImageSegments(host.image.text, segments);
        for (const ImageSegment& s : segments) {
            std::vector<uint8_t> bytes(s.Bytes());
            for (uint32_t i = 0; i < s.Bytes(); ++i) bytes[i] = SegmentByte(host.image.text, s, i);
            flash.Load(s.address, bytes.data(), bytes.size());
        }
        for (int i = 0; i < kVectorCount; ++i)
            vectors[i] = static_cast<uint16_t>(host.image.vectors[i]);
        flash.WriteVectors(vectors);
    }
    void Flip(uint32_t address) {
        const auto b = static_cast<uint8_t>(flash.Read(address) ^ 0x10);
        flash.Load(address, &b, 1);
    }
    korrsim::Flash flash;
    uint16_t vectors[kVectorCount] = {};
};

TEST(StandInImages, SimulatedInstrumentRecognisesEachImage) {
    struct Case {
        const char* file;
        bool twentyBit;
        const char* code;
        const char* version;
        uint32_t lastByte;
    } cases[] = {
        {"QS7 3-60.txt", false, "QS7", "3.60", 0x85FB},
        {"QS7 3-61.txt", false, "QS7", "3.61", 0x8A3F},
        {"QE8 2-10.txt", true, "QE8", "2.10", 0x137FF},
    };
    for (const Case& c : cases) {
        Programmed p(c.file, c.twentyBit);
        const korrsim::FirmwareIdentity id = korrsim::ReadFirmwareIdentity(p.flash);
        EXPECT_EQ(id.state, FirmwareState::Sound) << c.file;
        EXPECT_EQ(id.code, c.code) << c.file;
        EXPECT_EQ(id.version, c.version) << c.file;
        p.Flip(c.lastByte);
        EXPECT_EQ(korrsim::ReadFirmwareIdentity(p.flash).state, FirmwareState::Corrupt) << c.file;
    }
}

TEST(StandInImages, DamagedOrMissingFirmwareIsNotSound) {
    struct Case {
        const char* name;
        void (*change)(Programmed& p);
        FirmwareState state;
    } cases[] = {
        {"a bit changed in the middle", [](Programmed& p) { p.Flip(0x5000); },
         FirmwareState::Corrupt},
        {"a bit changed in the last byte", [](Programmed& p) { p.Flip(0x85FB); },
         FirmwareState::Corrupt},
        {"integrity word changed", [](Programmed& p) { p.Flip(0x1130); }, FirmwareState::Corrupt},
        {"identity block gone", [](Programmed& p) { p.Flip(0x1110); }, FirmwareState::Corrupt},
        {"reset vector into code outside the image",
         [](Programmed& p) {
             const uint8_t code[2] = {0x31, 0x40};
             p.flash.Load(0x9000, code, 2);
             p.vectors[15] = 0x9000;
             p.flash.WriteVectors(p.vectors);
         },
         FirmwareState::Corrupt},
        {"main flash erased, vectors left", [](Programmed& p) { p.flash.EraseSegment(0x1100); },
         FirmwareState::Erased},
        {"everything erased", [](Programmed& p) { p.flash.EraseAll(); }, FirmwareState::Erased},
    };
    for (const Case& c : cases) {
        Programmed p("QS7 3-60.txt");
        c.change(p);
        EXPECT_EQ(korrsim::ReadFirmwareIdentity(p.flash).state, c.state) << c.name;
    }
}

TEST(StandInImages, IntegrityIsCrc16CcittFalse) {
    uint16_t crc = 0xFFFF;
    for (char c : std::string("123456789"))
        crc = korrsim::FirmwareCrcStep(crc, static_cast<uint8_t>(c));
    EXPECT_EQ(crc, 0x29B1);
}

}  // namespace
