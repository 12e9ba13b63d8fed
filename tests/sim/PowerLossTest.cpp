// Power failures and a pulled cable at the moments of an update, in virtual time: what the
// instrument boots when power comes back is what its flash holds, and its settings memory keeps
// what it held.
#include <gtest/gtest.h>

#include <cerrno>

#include "serial/KorrSerial.h"
#include "sim/PowerRig.h"

using namespace korr;
using korrsim::BslLoader;
using korrsim::Instrument;
using korrsim::kUsPerMs;
using korrtest::CutTap;
using korrtest::PowerRig;

namespace {

const std::string kFolder = KORR_FIRMWARE_DIR;

struct CutCase {
    const char* moment;
    const char* marker;  // the power fails `offset` bytes after this appears ...
    int occurrence;      // ... for the n-th time in what the instrument received
    size_t offset;
    // What the instrument runs when power is back.
    Instrument::Mode mode;
    bool sound;
    const char* version;  // the version it reports; empty: not asked
    bool factorySettings;
};

// The old firmware is "QS7 3.61"; the updater writes its built-in "QS7 3.60". Both images start
// at 0x1100, where the reset vector points.
const CutCase kCuts[] = {
    {"boot command", "boo", 1, 2, Instrument::Mode::Firmware, true, "3.61", false},
    {"loader handshake", "P", 1, 0, Instrument::Mode::Firmware, true, "3.61", false},
    {"version request", "g", 1, 3, Instrument::Mode::Firmware, true, "3.61", false},
    // Information memory is not program memory: the old image still starts, settings and all.
    {"information erase", "X1080", 1, 2, Instrument::Mode::Firmware, true, "3.61", false},
    // The segment the reset vector points into is gone: the loader waits.
    {"flash erase", "X1500", 1, 3, Instrument::Mode::Loader, false, "", false},
    {"first block", "@1100", 1, 40, Instrument::Mode::Loader, false, "", false},
    // The start-up code is back, the rest is not: it starts, fails its self-test and leaves the
    // settings alone.
    {"block upload", "W", 30, 100, Instrument::Mode::Firmware, false, "", false},
    {"last block", "W", 117, 300, Instrument::Mode::Firmware, false, "", false},
    // The image is whole once the last block is in; the vectors are the loader's own (the first
    // V was in the boot command).
    {"vectors", "V", 2, 20, Instrument::Mode::Firmware, true, "3.60", true},
};

class PowerCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(PowerCut, InstrumentBootsWhatItsFlashHolds) {
    const CutCase& c = GetParam();
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    const korrsim::SettingsSnapshot field = rig.firmware->Snapshot();
    CutTap tap(rig.bench.Line(), rig.instrument);
    tap.At(c.marker, c.occurrence, c.offset, [&] { rig.instrument.PowerOff(); });

    EXPECT_LT(rig.Program(), 0) << "an update without power fails";
    ASSERT_TRUE(tap.Fired());
    EXPECT_FALSE(rig.instrument.Powered());
    rig.RunFor(5000 * kUsPerMs);
    EXPECT_FALSE(rig.instrument.Powered()) << "nothing restarts it while the power is off";

    rig.instrument.PowerOn();
    rig.RunFor(100 * kUsPerMs);
    EXPECT_EQ(rig.instrument.CurrentMode(), c.mode);
    EXPECT_EQ(rig.instrument.Booted().sound, c.sound);
    if (c.mode == Instrument::Mode::Loader) {
        EXPECT_EQ(rig.instrument.Loader().CurrentState(), BslLoader::State::Waiting);
        EXPECT_EQ(rig.bench.Line().DeviceBaud(), rig.type.loaderBaud);
    }
    if (*c.version != '\0') {
        EXPECT_EQ(rig.firmware->VersionReply(), std::string("QS7 ") + c.version);
    }
    if (c.factorySettings) {
        EXPECT_NE(rig.firmware->Snapshot(), field) << "a new image starts with factory settings";
    } else {
        EXPECT_EQ(rig.firmware->Snapshot(), field) << "settings memory kept its contents";
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, PowerCut, ::testing::ValuesIn(kCuts),
                         [](const ::testing::TestParamInfo<CutCase>& param) {
                             std::string name = param.param.moment;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

TEST(PowerLoss, DuringTheRestartTheNewImageStartsWhenPowerIsBack) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    const korrsim::SettingsSnapshot field = rig.firmware->Snapshot();
    ASSERT_GT(rig.Program(), 0);
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Restarting);
    rig.instrument.PowerOff();
    rig.RunFor(20000 * kUsPerMs);
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Off) << "the restart died with it";

    rig.instrument.PowerOn();
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Firmware);
    EXPECT_TRUE(rig.instrument.Booted().sound);
    EXPECT_EQ(rig.firmware->VersionReply(), "QS7 3.60");
    EXPECT_NE(rig.firmware->Snapshot(), field);
}

// Settings written by the new image survive its next power failure: only another image starts
// from factory values.
TEST(PowerLoss, SettingsRestoredHalfWaySurviveTheNextStart) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    DeviceInfo info{};
    Korr_protocol kp(&rig.log);
    ASSERT_GT(kp.KDConnect(rig.bench.Port(), 2, 3, &info), 0);
    ASSERT_EQ(kp.KDSaveInfo(rig.settingsPath.c_str()), 1);
    kp.KDDisconnect(false);
    ASSERT_GT(rig.Program(), 0);
    rig.RunFor(rig.type.restart + 100 * kUsPerMs);
    const korrsim::SettingsSnapshot factory = rig.firmware->Snapshot();

    CutTap tap(rig.bench.Line(), rig.instrument);
    tap.At("set -", 2, 3, [&] { rig.instrument.PowerOff(); });
    ASSERT_GT(kp.KDConnect(rig.bench.Port(), 2, 3, &info), 0);
    EXPECT_LT(kp.KDRestoreInfo(rig.settingsPath.c_str(), nullptr), 0);
    kp.KDDisconnect(false);
    ASSERT_TRUE(tap.Fired());
    const korrsim::SettingsSnapshot half = rig.firmware->Snapshot();
    EXPECT_NE(half, factory) << "one setting went back before the power failed";

    rig.instrument.PowerOn();
    EXPECT_TRUE(rig.instrument.Booted().sound);
    EXPECT_EQ(rig.firmware->Snapshot(), half);
    EXPECT_FALSE(rig.firmware->LoggedIn()) << "a login does not outlive the power";
}

// A power failure drops what the instrument was about to send and what it half received.
TEST(PowerLoss, NothingOfTheOldLifeComesOutAfterPowerIsBack) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    korrsim::Link& line = rig.bench.Line();
    line.HostOpen();
    auto send = [&](const std::string& text) {
        line.HostWrite(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    auto received = [&] {
        std::string text(line.HostAvailable(), '\0');
        line.HostRead(reinterpret_cast<uint8_t*>(text.data()), text.size());
        return text;
    };
    send("get -ver\r");
    rig.RunFor(10 * kUsPerMs);  // the line is in, the answer is on its way
    rig.instrument.PowerOff();
    rig.RunFor(kUsPerMs);
    rig.instrument.PowerOn();
    rig.RunFor(200 * kUsPerMs);
    EXPECT_EQ(received(), "") << "the answer died with the power";

    send("get -");  // half a line before the next power failure
    rig.RunFor(20 * kUsPerMs);
    rig.instrument.PowerOff();
    rig.instrument.PowerOn();
    send("ver\r");
    rig.RunFor(200 * kUsPerMs);
    EXPECT_EQ(received(), "\rERROR\r>") << "the half line is gone: \"ver\" alone means nothing";
    send("get -ver\r");
    rig.RunFor(200 * kUsPerMs);
    EXPECT_EQ(received(), "\rQS7 3.61\r>");
}

TEST(PowerLoss, ALoaderWithoutPowerIsSilentAndComesBackWaiting) {
    PowerRig rig;
    rig.instrument.RunLoader(BslLoader::State::Connected);
    rig.instrument.PowerOff();
    rig.instrument.PowerOn();
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Loader) << "erased flash";
    EXPECT_EQ(rig.instrument.Loader().CurrentState(), BslLoader::State::Waiting);
}

TEST(PulledCable, OpenPortBreaksForGoodAndANewOpenWorksOncePluggedBack) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    KorrSerial port;
    ASSERT_EQ(KSOpen(port, rig.bench.Port(), 9600), 1);
    rig.bench.Line().Unplug();
    EXPECT_EQ(KSWrite(port, "get -ver\r", 9), -21);
    KorrSerial second;
    EXPECT_EQ(KSOpen(second, rig.bench.Port(), 9600), -ENOENT) << "the adapter is gone";

    rig.bench.Line().Plug();
    EXPECT_EQ(KSWrite(port, "get -ver\r", 9), -21) << "the old descriptor stays dead";
    KSClose(port);
    ASSERT_EQ(KSOpen(port, rig.bench.Port(), 9600), 1);
    ASSERT_EQ(KSWrite(port, "get -ver\r", 9), 9);
    EXPECT_GT(KSWait(port, 1000, '>'), 0);
    char reply[32] = {};
    uint32_t count = 0;
    ASSERT_GE(KSRead(port, reply, sizeof reply - 1, &count), 0);
    EXPECT_EQ(std::string(reply, count), "\rQS7 3.61\r>");
    KSClose(port);
}

// The instrument keeps running while the cable is out: an update cut there leaves it where the
// loader was, and the next one finds it.
TEST(PulledCable, DuringTheUploadLeavesTheLoaderInItsSession) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    CutTap tap(rig.bench.Line(), rig.instrument);
    tap.At("W", 10, 7, [&] { rig.bench.Line().Unplug(); });
    EXPECT_LT(rig.Program(), 0);
    ASSERT_TRUE(tap.Fired());
    rig.bench.Line().Plug();
    rig.RunFor(3000 * kUsPerMs);
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Loader);
    EXPECT_EQ(rig.instrument.Loader().CurrentState(), BslLoader::State::Connected);
    EXPECT_EQ(rig.host.BSLCheck(rig.bench.Port(), rig.type.loaderBaud), -80);
    rig.host.BSLDisconnect();
}

TEST(SlowRestart, TheInstrumentAnswersOnlyAfterItsOwnRestartTime) {
    PowerRig rig;
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QS7 3-61.txt"));
    rig.instrument.SetRestartTime(rig.type.restart * 4);
    ASSERT_GT(rig.Program(), 0);
    rig.RunFor(rig.type.restart * 2);
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Restarting);
    rig.RunFor(rig.type.restart * 2);
    EXPECT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Firmware);
}

}  // namespace

namespace {

// A loader waiting at 57600 baud never hears the boot command sent at 9600: the connection
// used to give up on it (-112) for good, every retry alike.
TEST(PowerLoss, ALoaderLeftWaitingAtItsOwnRateIsWokenThere) {
    PowerRig rig("QE8");
    ASSERT_TRUE(rig.StartWithImageFile(kFolder + "/QE8 2-10.txt"));
    CutTap tap(rig.bench.Line(), rig.instrument);
    ASSERT_EQ(rig.host.BSLLoadTIFile((kFolder + "/QE8 2-10.txt").c_str()), 1);
    tap.At("X023", 1, 2, [&] { rig.instrument.PowerOff(); });
    EXPECT_LT(rig.Program(), 0);
    ASSERT_TRUE(tap.Fired());
    rig.instrument.PowerOn();
    ASSERT_EQ(rig.instrument.CurrentMode(), Instrument::Mode::Loader);
    ASSERT_EQ(rig.bench.Line().DeviceBaud(), 57600u);

    EXPECT_GT(rig.Program(), 0);
    rig.RunFor(rig.type.restart + 100 * kUsPerMs);
    EXPECT_TRUE(rig.instrument.Booted().sound);
    EXPECT_EQ(rig.firmware->VersionReply(), "QE8 2.10");
}

}  // namespace
