// The loader part of an update against the simulated instrument, start to restart, in virtual
// time: the flash must end up holding exactly the image, and the instrument must boot it.
// The images are the built-in one and the stand-ins of the firmware folder.
#include <gtest/gtest.h>

#include <functional>

#include "bsl/LoaderRig.h"
#include "core/Random.h"
#include "models/CommandFirmware.h"
#include "models/Qs7Firmware.h"
#include "support/LoaderUpdate.h"

using namespace korr;
using korrsim::Direction;
using korrsim::Instrument;
using korrtest::LoaderRig;

namespace {

int32_t RunUpdate(LoaderRig& rig) {
    return korrtest::RunLoaderUpdate(rig.host, rig.sim.Port(), rig.Row());
}

// Old firmware everywhere the update erases.
void FillWithOldFirmware(korrsim::Flash& flash) {
    korrsim::Random random(99);
    const korrsim::FlashLayout& l = flash.Layout();
    std::vector<uint8_t> junk(l.size);
    for (uint8_t& b : junk) b = random.Byte();
    const uint32_t infoEnd = l.infoStart + l.infoSegments * l.infoSegmentSize;
    flash.Load(l.infoStart, junk.data() + l.infoStart, infoEnd - l.infoStart);
    flash.Load(l.mainStart, junk.data() + l.mainStart, korrsim::kLoaderAreaStart - l.mainStart);
    if (l.size > 0x10000) flash.Load(0x10000, junk.data() + 0x10000, l.size - 0x10000);
}

// The flash holds the image's bytes, 0xFF in the rest of the erased ranges, and the vectors.
void ExpectProgrammed(LoaderRig& rig) {
    const DeviceTypeRow& row = rig.Row();
    const korrsim::Flash& flash = rig.sim.Memory();
    std::map<uint32_t, uint8_t> image = korrtest::ImageBytes(rig.host.image.text);
    auto expected = [&](uint32_t a) {
        auto it = image.find(a);
        return it != image.end() ? it->second : uint8_t{0xFF};
    };
    const uint32_t infoEnd = row.infoStart + row.infoSegments * row.infoSegmentSize;
    for (uint32_t a = row.infoStart; a < infoEnd; ++a) {
        ASSERT_EQ(flash.Read(a), expected(a)) << std::hex << a;
    }
    for (uint32_t a = row.flashStart; a <= row.flashEnd; ++a) {
        if (korrsim::Flash::InLoaderArea(a)) continue;
        ASSERT_EQ(flash.Read(a), expected(a)) << std::hex << a;
    }
    for (int i = 0; i < kVectorCount; ++i) {
        EXPECT_EQ(flash.Word(kVectorBase + 2u * i), rig.host.image.vectors[i]) << i;
    }
}

// An image of another product, with a segment above the loader.
void LoadImage(LoaderRig& rig, const char* file) {
    ASSERT_EQ(rig.host.BSLLoadTIFile((std::string(KORR_FIRMWARE_DIR) + "/" + file).c_str()), 1);
}

TEST(LoaderUpdate, ProgramsExactlyTheBuiltInImageAndBootsIt) {
    LoaderRig rig;
    ASSERT_EQ(rig.host.image.status, 0);
    ASSERT_EQ(rig.host.image.length, 59902u);
    FillWithOldFirmware(rig.sim.Memory());
    ASSERT_GT(RunUpdate(rig), 0);
    ExpectProgrammed(rig);

    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Restarting);
    rig.sim.RunFor(rig.sim.Target().Type().restart);
    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Firmware);
    EXPECT_EQ(rig.sim.Line().DeviceBaud(), 9600u);
    const korrsim::BootImage& booted = rig.sim.Target().Booted();
    EXPECT_TRUE(booted.sound);
    EXPECT_EQ(booted.code, "QS7");
    EXPECT_EQ(booted.version, "3.60");
    EXPECT_EQ(rig.sim.Target().Updates(), 1u);
}

TEST(LoaderUpdate, CommandFirmwareReportsTheNewVersionAfterTheRestart) {
    LoaderRig rig;
    rig.sim.Target().SetFirmware(std::make_unique<korrsim::CommandFirmware>(
        std::make_unique<korrsim::Qs7Firmware>(rig.sim.Line(), "QS7 3.50"), true,
        [](korrsim::CommandDevice& device, const korrsim::BootImage& image) {
            static_cast<korrsim::Qs7Firmware&>(device).SetVersionReply(image.code + " " +
                                                                       image.version);
        }));
    ASSERT_GT(RunUpdate(rig), 0);
    rig.sim.RunFor(rig.sim.Target().Type().restart);

    KorrSerial port;
    ASSERT_EQ(KSOpen(port, rig.sim.Port(), 9600), 1);
    ASSERT_EQ(KSWrite(port, "get -ver\r", 9), 9);
    ASSERT_EQ(KSWait(port, 1000, '>'), '>');
    char reply[32] = {};
    KSRead(port, reply, sizeof reply - 1);
    EXPECT_STREQ(reply, "\rQS7 3.60\r>");
}

TEST(LoaderUpdate, ProgramsATwentyBitImageAtTheFastRate) {
    LoaderRig rig("QE8");
    LoadImage(rig, "QE8 2-10.txt");
    FillWithOldFirmware(rig.sim.Memory());
    ASSERT_GT(RunUpdate(rig), 0);
    ExpectProgrammed(rig);
    rig.sim.RunFor(rig.sim.Target().Type().restart);
    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Firmware);
    EXPECT_TRUE(rig.sim.Target().Booted().sound);
    EXPECT_EQ(rig.sim.Target().Booted().version, "2.10");
    // About 61 000 characters at 5760 a second: the line ran at 57600 after the boot command.
    EXPECT_LT(rig.sim.Bench().NowMs(), 30'000.0);
}

TEST(LoaderUpdate, DamagedImageStartsButIsNotSound) {
    LoaderRig rig;
    // One digit of the filler changed: the image still starts, its integrity check fails.
    rig.host.image.text[30000] = rig.host.image.text[30000] == '0' ? '1' : '0';
    ASSERT_GT(RunUpdate(rig), 0);
    rig.sim.RunFor(rig.sim.Target().Type().restart);
    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Firmware);
    EXPECT_FALSE(rig.sim.Target().Booted().sound);
    EXPECT_EQ(rig.sim.Target().Booted().code, "QS7");
}

TEST(LoaderUpdate, TakesAboutAsLongAsTheWireAt9600) {
    LoaderRig rig;
    ASSERT_GT(RunUpdate(rig), 0);
    // About 62 000 characters at 960 a second, plus the erase and the handshake pauses.
    EXPECT_GT(rig.sim.Bench().NowMs(), 60'000.0);
    EXPECT_LT(rig.sim.Bench().NowMs(), 110'000.0);
}

TEST(LoaderUpdate, ErasedFlashKeepsTheLoaderWaiting) {
    LoaderRig rig;
    const std::string builtIn = rig.host.image.text;
    rig.host.image.text = "@01100";  // nothing to program: the reset vector points at 0xFFFF
    ASSERT_GT(RunUpdate(rig), 0);
    rig.sim.RunFor(rig.sim.Target().Type().restart);
    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Loader);
    EXPECT_EQ(rig.sim.Loader().CurrentState(), korrsim::BslLoader::State::Waiting);
    // A second update finds the loader waiting and goes straight on.
    rig.host.image.text = builtIn;
    ASSERT_GT(RunUpdate(rig), 0);
    rig.sim.RunFor(rig.sim.Target().Type().restart);
    EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Firmware);
}

uint64_t BytesToHostInCleanUpdate() {
    LoaderRig rig;
    EXPECT_GT(RunUpdate(rig), 0);
    return rig.sim.Line().Faults().Sent(Direction::ToHost);
}

struct FaultCase {
    const char* name;
    std::function<void(LoaderRig&)> inject;
};

TEST(LoaderUpdate, LineFaultsEndRightOrFailClearlyAndTheNextRunSucceeds) {
    const FaultCase cases[] = {
        {"lost bytes",
         [](LoaderRig& rig) {
             rig.sim.Line().Faults().SetRates(Direction::ToDevice, {.lose = 2e-4});
             rig.sim.Line().Faults().SetRates(Direction::ToHost, {.lose = 2e-3});
         }},
        {"refused frames", [](LoaderRig& rig) { rig.sim.Loader().RefuseNext('W', 2); }},
        {"noise burst during the upload",
         [](LoaderRig& rig) {
             rig.sim.Line().InjectNoise(Direction::ToDevice, 30'000'000, 40);
             rig.sim.Line().InjectNoise(Direction::ToHost, 45'000'000, 40);
         }},
        {"corrupted replies",
         [](LoaderRig& rig) {
             rig.sim.Line().Faults().SetRates(Direction::ToHost, {.corrupt = 0.02});
         }},
        {"reply to the vectors lost",
         [](LoaderRig& rig) {
             // The last character of a clean update is the '+' for the vectors; without it the
             // host asks again while the instrument restarts into its new firmware.
             rig.sim.Line().Faults().AddOneShot(Direction::ToHost, BytesToHostInCleanUpdate() - 1,
                                                korrsim::FaultKind::Lose);
         }},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderRig rig;
        c.inject(rig);
        int32_t r = RunUpdate(rig);
        if (r < 0) {
            EXPECT_TRUE(r == -1 || r == -21 || r == -110 || r == -112) << r;
            rig.sim.Line().Faults().SetRates(Direction::ToDevice, {});
            rig.sim.Line().Faults().SetRates(Direction::ToHost, {});
            rig.sim.RunFor(10'000'000);  // let a restart, if any, finish
            ASSERT_GT(RunUpdate(rig), 0) << "the second run";
        }
        ExpectProgrammed(rig);
        rig.sim.RunFor(rig.sim.Target().Type().restart);
        EXPECT_EQ(rig.sim.Target().CurrentMode(), Instrument::Mode::Firmware);
        EXPECT_TRUE(rig.sim.Target().Booted().sound);
    }
}

}  // namespace
