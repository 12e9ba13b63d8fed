// Erasing and programming through a connected loader, in virtual time.
#include <gtest/gtest.h>

#include <vector>

#include "bsl/LoaderRig.h"
#include "support/LambdaDevice.h"

using namespace korr;
using korrtest::HookCall;
using korrtest::LineTap;
using korrtest::LoaderRig;

namespace {

class BSLFlashTest : public ::testing::Test {
  protected:
    explicit BSLFlashTest(const char* type = "QS7") : rig(type) {}
    void SetUp() override {
        rig.ConnectToActiveLoader();
        rig.host.progress = true;
        rig.host.SetProgressHook([this](uint32_t total, uint32_t done, int phase, char kind) {
            calls.push_back({total, done, phase, kind});
            return cancelAt < 0 || static_cast<int>(calls.size()) < cancelAt;
        });
    }
    std::vector<HookCall> CallsIn(int phase) const {
        std::vector<HookCall> out;
        for (const HookCall& c : calls) {
            if (c.phase == phase) out.push_back(c);
        }
        return out;
    }

    LoaderRig rig;
    LineTap tap{rig.sim.Line(), rig.sim.Target()};
    std::vector<HookCall> calls;
    int cancelAt = -1;  // the hook call (counting from 1) that answers false
};

class BSLFlashTest20Bit : public BSLFlashTest {
  protected:
    BSLFlashTest20Bit() : BSLFlashTest("QE8") {}
};

TEST_F(BSLFlashTest, EraseFlashWalksTheFourDigitMapInSegments) {
    EXPECT_GT(rig.host.BSLEraseFlash(0x1100, 0xF9FF, false), 0);
    std::vector<std::string> x = tap.FramesOf('X');
    ASSERT_EQ(x.size(), 117u);
    EXPECT_EQ(x.front(), "X1100");
    EXPECT_EQ(x[1], "X1300");
    EXPECT_EQ(x.back(), "XF900");

    std::vector<HookCall> running = CallsIn(1);
    ASSERT_EQ(running.size(), 12u);
    for (size_t i = 0; i < running.size(); ++i) {
        EXPECT_EQ(running[i].done, 10 * i);
        EXPECT_EQ(running[i].total, 116u);
        EXPECT_EQ(running[i].kind, 'X');
    }
    ASSERT_EQ(CallsIn(2).size(), 1u);
    EXPECT_EQ(CallsIn(2)[0].done, 116u);
    EXPECT_TRUE(rig.Logged("BSLEraseFlash successful: segment 1100 to F9FF ("));
}

TEST_F(BSLFlashTest20Bit, EraseFlashJumpsOverTheLoader) {
    EXPECT_GT(rig.host.BSLEraseFlash(0x2100, 0x1FF00, true), 0);
    std::vector<std::string> x = tap.FramesOf('X');
    ASSERT_EQ(x.size(), 109u + 128u);
    EXPECT_EQ(x.front(), "X02100");
    EXPECT_EQ(x[108], "X0F900");
    EXPECT_EQ(x[109], "X10000");
    EXPECT_EQ(x.back(), "X1FE00");
    EXPECT_EQ(rig.sim.Loader().Stats().refused, 0u);
}

TEST_F(BSLFlashTest, EraseFlashRefusesToStartInTheLoaderArea) {
    for (uint32_t start : {0xFA00u, 0xFFFFu}) {
        EXPECT_EQ(rig.host.BSLEraseFlash(start, 0x1FF00, true), -11);
    }
    rig.sim.RunFor(100 * korrsim::kUsPerMs);
    EXPECT_EQ(tap.bytes, "");
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(rig.Logged("BSLEraseFlash"));
}

TEST_F(BSLFlashTest, EraseFlashCancelledByTheHook) {
    cancelAt = 2;  // at segment 10
    EXPECT_EQ(rig.host.BSLEraseFlash(0x1100, 0xF9FF, false), -40);
    EXPECT_EQ(tap.FramesOf('X').size(), 10u);
    EXPECT_EQ(CallsIn(2).size(), 1u);
    EXPECT_TRUE(rig.Logged("BSLEraseFlash failed with error -40 ("));
}

TEST_F(BSLFlashTest, EraseInfoSegments) {
    korrsim::Flash& flash = rig.sim.Memory();
    const uint8_t programmed[2] = {0x12, 0x34};
    flash.Load(0x1000, programmed, 2);
    flash.Load(0x10FE, programmed, 2);
    EXPECT_GT(rig.host.BSLEraseINFO(0x1000, 2, 0x80, false), 0);
    EXPECT_EQ(tap.FramesOf('X'), (std::vector<std::string>{"X1000", "X1080"}));
    EXPECT_EQ(flash.Word(0x1000), 0xFFFF);
    EXPECT_EQ(flash.Word(0x10FE), 0xFFFF);
    EXPECT_TRUE(rig.Logged("KorrBSL: BSLEraseINFO successful: 2 segments @ 1000 ("));
    EXPECT_TRUE(calls.empty()) << "no progress for the information memory";
}

TEST_F(BSLFlashTest, SilentLoaderFailsAfterAllAttempts) {
    rig.sim.Line().Faults().AddSilence(0, 60'000'000);
    const double before = rig.sim.Bench().NowMs();
    EXPECT_EQ(rig.host.BSLEraseINFO(0x1000, 2, 0x80, false), -21);
    EXPECT_EQ(tap.FramesOf('X').size(), 0u) << "nothing crossed the line";
    EXPECT_GE(rig.sim.Bench().NowMs() - before, 3 * 1100 + 2 * 175);
    EXPECT_TRUE(rig.Logged("BSLEraseINFO failed with error -21 ("));
}

TEST_F(BSLFlashTest, BuiltInImageGoesOutInBlocks) {
    ASSERT_EQ(rig.host.image.text.substr(0, 6), "@01100");
    rig.host.BSLEraseFlash(0x1100, 0xF9FF, false);
    tap.bytes.clear();
    calls.clear();
    EXPECT_GT(rig.host.BSLSendFirmware(false), 0);

    std::vector<std::string> frames = tap.Frames();
    ASSERT_EQ(frames.size(), 1u + 117u);
    EXPECT_EQ(frames[0], "@1100");
    for (size_t i = 1; i <= 116; ++i) EXPECT_EQ(frames[i].size(), 1u + 512u) << i;
    EXPECT_EQ(frames[117].size(), 1u + 504u);

    // The last block went to 0x1100 + 116 * 256, right after the one before it.
    std::map<uint32_t, uint8_t> expected = korrtest::ImageBytes(rig.host.image.text);
    for (const auto& [address, byte] : expected) {
        ASSERT_EQ(rig.sim.Memory().Read(address), byte) << std::hex << address;
    }
    EXPECT_EQ(rig.sim.Loader().Address(), 0x1100u + 116 * 256 + 252);

    EXPECT_EQ(CallsIn(1).size(), 117u);
    EXPECT_EQ(CallsIn(1).back().done, 116u * 512);
    ASSERT_EQ(CallsIn(2).size(), 1u);
    EXPECT_EQ(CallsIn(2)[0].done, 59902u);
    EXPECT_EQ(CallsIn(2)[0].kind, 'W');
    EXPECT_TRUE(rig.Logged("BSLSendFirmware successful ("));
}

TEST_F(BSLFlashTest20Bit, SegmentsAboveTheLoaderGetFiveDigitAddresses) {
    rig.host.image.text =
        "@02100" + korrtest::PatternWords(300, 1) + "@10000" + korrtest::PatternWords(10, 2);
    rig.host.BSLEraseFlash(0x2100, 0x1FF00, true);
    tap.bytes.clear();
    EXPECT_GT(rig.host.BSLSendFirmware(true), 0);
    EXPECT_EQ(tap.Frames(),
              (std::vector<std::string>{"@02100", "W" + rig.host.image.text.substr(6, 512),
                                        "W" + rig.host.image.text.substr(6 + 512, 512),
                                        "W" + rig.host.image.text.substr(6 + 1024, 176), "@10000",
                                        "W" + korrtest::PatternWords(10, 2)}));
    EXPECT_EQ(rig.sim.Memory().Word(0x10000),
              std::stoul(korrtest::PatternWords(1, 2), nullptr, 16));
}

TEST_F(BSLFlashTest, RefusedBlockIsSentAgainFromItsStart) {
    rig.host.image.text.resize(6 + 3 * 512);
    rig.host.BSLEraseFlash(0x1100, 0xF9FF, false);
    tap.bytes.clear();
    rig.sim.Loader().RefuseNext('W', 1);
    EXPECT_GT(rig.host.BSLSendFirmware(false), 0);
    std::vector<std::string> frames = tap.Frames();
    const std::string firstBlock = "W" + rig.host.image.text.substr(6, 512);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0], "@1100");
    EXPECT_EQ(frames[1], firstBlock);
    EXPECT_EQ(frames[2], "@1100");
    EXPECT_EQ(frames[3], firstBlock);
    for (const auto& [address, byte] : korrtest::ImageBytes(rig.host.image.text)) {
        ASSERT_EQ(rig.sim.Memory().Read(address), byte) << std::hex << address;
    }
}

TEST_F(BSLFlashTest, CancelledUploadStillReportsItsEnd) {
    cancelAt = 3;  // at position 1024, before the second block is complete
    EXPECT_EQ(rig.host.BSLSendFirmware(false), -40);
    EXPECT_EQ(tap.FramesOf('W').size(), 1u);
    ASSERT_EQ(CallsIn(2).size(), 1u);
    EXPECT_EQ(CallsIn(2)[0].done, 59902u);
    EXPECT_TRUE(rig.Logged("BSLSendFirmware failed with error -40 ("));
}

TEST_F(BSLFlashTest, ImageChecksSendNothing) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {{"", -10},
                 {"01100ABCD", -11},
                 {"@011", -11},
                 {"@0X100ABCD", -11},
                 {"@10000ABCD", -11}};  // above 0xFFFF: out of reach of four digits
    for (const Case& c : cases) {
        rig.host.image.text = c.text;
        EXPECT_EQ(rig.host.BSLSendFirmware(false), c.expected) << c.text;
    }
    rig.sim.RunFor(100 * korrsim::kUsPerMs);
    EXPECT_EQ(tap.bytes, "");
}

TEST_F(BSLFlashTest, VectorsGoToTheTopOfTheFlash) {
    for (uint32_t& v : rig.host.image.vectors) v = kUnsetVector;
    rig.host.image.vectors[0] = 0x1234;
    rig.host.image.vectors[15] = 0x1100;
    EXPECT_GT(rig.host.BSLSendVectors(), 0);
    ASSERT_EQ(tap.FramesOf('V').size(), 1u);
    EXPECT_EQ(tap.FramesOf('V')[0], "V1234" + std::string(14 * 4, 'F') + "1100");
    EXPECT_EQ(rig.sim.Memory().Word(0xFFE0), 0x1234);
    EXPECT_EQ(rig.sim.Memory().Word(0xFFFE), 0x1100);
    EXPECT_TRUE(rig.Logged("KorrBSL: BSLSendVectors successful"));
}

TEST(BSLSendVectors, WaitsForPlusNotForCarriageReturn) {
    LoaderRig rig;
    rig.ConnectToActiveLoader();
    korrtest::LambdaDevice device(rig.sim.Line(), [](korrsim::Link& link, uint8_t byte) {
        if (byte == '\r') link.DeviceSend("+");
    });
    const double before = rig.sim.Bench().NowMs();
    EXPECT_EQ(rig.host.BSLSendVectors(), 1);
    EXPECT_LT(rig.sim.Bench().NowMs() - before, 300.0);
}

TEST(BSLSendAddress, FormatsAndLogsTheAddress) {
    for (const bool five : {false, true}) {
        LoaderRig rig(five ? "QE8" : "QS7");  // each loader takes its own width only
        rig.ConnectToActiveLoader();
        LineTap tap(rig.sim.Line(), rig.sim.Target());
        EXPECT_GT(rig.host.BSLSendAddress(0x1100, five), 0);
        EXPECT_EQ(tap.Frames(), (std::vector<std::string>{five ? "@01100" : "@1100"}));
        EXPECT_TRUE(rig.Logged("KorrBSL: BSLSendAddress (01100) successful"));
    }
}

}  // namespace
