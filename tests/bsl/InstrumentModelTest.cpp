// The simulated instrument on its own: its firmware's boot command, its flash and its dump.
#include <gtest/gtest.h>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "models/BootFirmware.h"
#include "models/CommandFirmware.h"
#include "models/FlashDump.h"
#include "models/Instrument.h"
#include "models/Qs7Firmware.h"

using namespace korrsim;

namespace {

class InstrumentModelTest : public ::testing::Test {
  protected:
    void Start(const char* type) {
        instrument.reset();  // the old one lets go of the line first
        instrument = std::make_unique<Instrument>(link, *FindInstrumentType(type));
        auto fw = std::make_unique<BootFirmware>(link);
        firmware = fw.get();
        instrument->SetFirmware(std::move(fw));
        BootImage factory;
        factory.runnable = factory.sound = true;
        instrument->RunFirmware(factory);
        link.HostOpen();
    }
    std::string Send(const std::string& text, uint32_t baud = 9600) {
        link.SetHostBaud(baud);
        link.HostWrite(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        loop.RunUntil(loop.Now() + 200 * kUsPerMs);
        std::string out(link.HostAvailable(), '\0');
        link.HostRead(reinterpret_cast<uint8_t*>(out.data()), out.size());
        return out;
    }

    EventLoop loop;
    Link link{loop, 1};
    std::unique_ptr<Instrument> instrument;
    BootFirmware* firmware = nullptr;
};

TEST_F(InstrumentModelTest, BootCommandHandsTheLineToTheLoaderAtItsRate) {
    Start("QE8");
    EXPECT_EQ(Send("ver\r"), "") << "the bare firmware knows nothing else";
    EXPECT_EQ(Send("boot VLUX\r"), "OK\r\n");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Loader);
    EXPECT_EQ(link.DeviceBaud(), 57600u);
    EXPECT_EQ(Send("\r", 57600), "$");
    EXPECT_EQ(Send("P", 57600), "#");
}

TEST_F(InstrumentModelTest, FirmwareWithoutLoaderSaysSo) {
    Start("QS7");
    firmware->SetLoaderMissing(true);
    EXPECT_EQ(Send("boot VLUX\r"), "KorrBSL MISSING\r\n");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Firmware);
}

TEST_F(InstrumentModelTest, VectorsRestartTheInstrumentIntoItsFlash) {
    Start("QS7");
    instrument->RunLoader(BslLoader::State::Connected);
    // Reset vector 0x1100 over erased flash: nothing to boot, the loader waits again.
    EXPECT_EQ(Send("V" + std::string(60, 'F') + "1100.11AE\r"), "+");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Restarting);
    EXPECT_EQ(Send("\r"), "") << "nobody listens during the restart";
    loop.RunUntil(loop.Now() + instrument->Type().restart);
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Loader);
    EXPECT_EQ(Send("\r"), "$");
}

TEST_F(InstrumentModelTest, CommandFirmwareLeavesForTheLoaderOnlyOnTheRightWord) {
    Start("QS7");
    instrument->SetFirmware(
        std::make_unique<CommandFirmware>(std::make_unique<Qs7Firmware>(link, "QS7 3.50"), true));
    EXPECT_EQ(Send("get -ver\r"), "\rQS7 3.50\r>");
    EXPECT_EQ(Send("boot XYZ\r"), "ERROR");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Firmware);
    EXPECT_EQ(Send("boot VLUX\r"), "OK");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Loader);

    Start("QS7");
    instrument->SetFirmware(
        std::make_unique<CommandFirmware>(std::make_unique<Qs7Firmware>(link, "QS7 3.50"), false));
    EXPECT_EQ(Send("boot VLUX\r"), "\rKorrBSL MISSING\r>");
    EXPECT_EQ(instrument->CurrentMode(), Instrument::Mode::Firmware);
}

TEST(Flash, EraseAndProgramKeepToTheirAreas) {
    Flash flash(FindInstrumentType("QS7")->flash);
    const uint8_t data[2] = {0x0F, 0xF0};
    flash.Load(0x10FE, data, 2);  // information memory, just below main memory
    flash.Load(0x1100, data, 2);

    EXPECT_TRUE(flash.EraseSegment(0x1100));
    EXPECT_EQ(flash.Word(0x1100), 0xFFFF);
    EXPECT_EQ(flash.Word(0x10FE), 0xF00F) << "the first main segment stops at main memory";

    EXPECT_FALSE(flash.EraseSegment(0xFA00));
    EXPECT_FALSE(flash.Program(0xFC00, 0x00));
    EXPECT_FALSE(flash.Program(0xFFE0, 0x00)) << "vectors come only with the 'V' command";
    EXPECT_FALSE(flash.Program(0x0F00, 0x00)) << "unmapped";

    EXPECT_TRUE(flash.Program(0x2000, 0x0F));
    EXPECT_FALSE(flash.Program(0x2000, 0xF0)) << "programming cannot set bits";
    EXPECT_EQ(flash.Read(0x2000), 0x00);
}

TEST(FlashDump, ProgrammedLinesAsTiText) {
    Flash flash(FindInstrumentType("QS7")->flash);
    const uint8_t data[3] = {0x11, 0x22, 0x33};
    flash.Load(0x1100, data, 3);
    flash.Load(0x1120, data, 1);
    const uint16_t vectors[16] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                  0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x1100};
    flash.WriteVectors(vectors);
    EXPECT_EQ(FlashToTiText(flash),
              "@1100\n11 22 33 FF FF FF FF FF FF FF FF FF FF FF FF FF\n"
              "@1120\n11 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"
              "@FFF0\nFF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 11\n"
              "q\n");
}

}  // namespace
