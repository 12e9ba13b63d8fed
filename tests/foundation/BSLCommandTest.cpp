// Loader frames against the simulated loader and against scripted replies, in virtual time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "host/SimBench.h"
#include "models/BslLoader.h"
#include "models/Flash.h"
#include "support/LambdaDevice.h"
#include "support/TempDir.h"

using namespace korr;
using korrsim::BslLoader;
using korrsim::Direction;
using korrsim::FaultKind;

namespace {

TEST(BSLCheckValue, KnownFrames) {
    EXPECT_EQ(BSLCheckValue("g", 1), 0x95u);
    EXPECT_EQ(BSLCheckValue("@1100", 5), 0x130u);
    EXPECT_EQ(BSLCheckValue("@01100", 6), 0x160u);
}

TEST(BSLCheckValue, IsModulo0xFFFF) {
    // 0xFFFF itself wraps to 0: the loader's modulus is 65535, not 65536.
    std::string fields(512, 'F');  // 512 * 70
    uint32_t sum = 'W' + 46 + 512 * 'F';
    EXPECT_EQ(BSLCheckValue(("W" + fields).c_str(), 513), sum % 0xFFFF);
}

class BSLCommandTest : public ::testing::Test {
  protected:
    korrtest::TempDir dir;
    std::string logPath = dir.File("log.txt");
    KorrLog log{logPath.c_str(), LOG_TRACE};
    korrsim::SimBench bench;
    KorrBSLHost host{&log};
    char reply[kBSLReplyCapacity] = {};
    uint32_t elapsed = 0;

    void Connect() {
        ASSERT_EQ(KSOpen(host.port, bench.Port(), 9600), 1);
        host.connected = true;
    }
};

// --- against the loader model ---

class BSLCommandLoaderTest : public BSLCommandTest {
  protected:
    korrsim::Flash flash{korrsim::FlashLayout{}};
    BslLoader loader{bench.Line(), flash, 12};
    void SetUp() override {
        bench.Line().AttachDevice(&loader);
        loader.SetState(BslLoader::State::Connected);
        Connect();
    }
};

TEST_F(BSLCommandLoaderTest, VersionRequestFrameAndReply) {
    int32_t r = host.BSLCommand('g', nullptr, 0, '\r', reply, &elapsed);
    EXPECT_EQ(r, 5);
    EXPECT_STREQ(reply, "+12+\r");
    EXPECT_STREQ(host.frameBuffer.data(), "g.0095\r");
    EXPECT_EQ(loader.Stats().frames, 1u);
}

TEST_F(BSLCommandLoaderTest, AddressFramesInFourAndFiveDigitMode) {
    const uint32_t address = 0x1100;
    EXPECT_GT(host.BSLCommand('@', "1100", 4, '\r', reply, &elapsed), 0);
    EXPECT_STREQ(host.frameBuffer.data(), "@1100.0130\r");
    EXPECT_EQ(loader.Address(), 0x1100u);
    // This loader's flash ends at 64 KiB: it takes four digits only.
    EXPECT_EQ(host.BSLCommand('@', &address, 1, '\r', reply, &elapsed, true), -1);
    EXPECT_STREQ(host.frameBuffer.data(), "@01100.0160\r");
}

TEST_F(BSLCommandLoaderTest, WriteAndEraseReachTheFlash) {
    const uint32_t segment = 0x1200;
    ASSERT_GT(host.BSLCommand('@', "1200", 4, '\r', reply, &elapsed), 0);
    // The payload ends at its NUL: seven digits are no whole word, and the loader refuses them.
    EXPECT_EQ(host.BSLCommand('W', "2211443", 8, '\r', reply, &elapsed), -1);
    ASSERT_GT(host.BSLCommand('@', "1200", 4, '\r', reply, &elapsed), 0);
    ASSERT_GT(host.BSLCommand('W', "22114433", 8, '\r', reply, &elapsed), 0);
    EXPECT_EQ(flash.Word(0x1200), 0x2211);
    EXPECT_EQ(flash.Word(0x1202), 0x4433);
    ASSERT_GT(host.BSLCommand('X', &segment, 1, '\r', reply, &elapsed, false), 0);
    EXPECT_EQ(flash.Word(0x1200), 0xFFFF);
}

TEST_F(BSLCommandLoaderTest, CorruptedFrameIsRefused) {
    // The third byte of the next frame ('0' of "@1100") is hit on the wire.
    bench.Line().Faults().AddOneShot(Direction::ToDevice, 2, FaultKind::Corrupt);
    EXPECT_EQ(host.BSLCommand('@', "1100", 4, '\r', reply, &elapsed), -1);
    EXPECT_EQ(reply[0], '-');
    EXPECT_EQ(loader.Stats().refused, 1u);
    EXPECT_GT(host.BSLCommand('@', "1100", 4, '\r', reply, &elapsed), 0)
        << "the retry goes through";
}

TEST_F(BSLCommandLoaderTest, VectorsWaitForPlus) {
    uint32_t vectors[16];
    for (int i = 0; i < 16; ++i) vectors[i] = 0xFFFF;
    vectors[15] = 0x1100;
    int32_t r = host.BSLCommand('V', vectors, 16, '+', reply, &elapsed, false);
    EXPECT_EQ(r, 1);
    EXPECT_STREQ(reply, "+");
    EXPECT_EQ(flash.Word(0xFFFE), 0x1100);
    EXPECT_LT(elapsed, 200u) << "answered by '+' without waiting for a carriage return";
}

TEST_F(BSLCommandLoaderTest, SilentLoaderGivesMinus21AfterAbout1100Ms) {
    bench.Line().Faults().AddSilence(0, 10'000'000);
    EXPECT_EQ(host.BSLCommand('g', nullptr, 0, '\r', reply, &elapsed), -21);
    EXPECT_GE(elapsed, 1100u);
    EXPECT_LE(elapsed, 1400u);
    EXPECT_STREQ(reply, "");
}

// --- argument checks: nothing goes to the port ---

TEST_F(BSLCommandTest, ArgumentChecksInOrder) {
    EXPECT_EQ(host.BSLCommand('g', nullptr, 0, '\r', reply, &elapsed), -21) << "not connected";
    Connect();
    korrtest::LambdaDevice device(bench.Line(), nullptr);
    std::string big(513, 'A');
    uint32_t numbers[129] = {};
    EXPECT_EQ(host.BSLCommand('W', big.c_str(), 513, '\r', reply, &elapsed), -11);
    EXPECT_EQ(host.BSLCommand('V', numbers, 129, '+', reply, &elapsed, false), -11);
    EXPECT_EQ(host.BSLCommand('W', "AB", 2, '\r', nullptr, &elapsed), -10);
    EXPECT_EQ(host.BSLCommand('W', nullptr, 0, '\r', reply, &elapsed), -10);
    bench.Loop().RunUntil(bench.Loop().Now() + 100'000);
    EXPECT_EQ(device.received, "") << "nothing was sent";
}

TEST_F(BSLCommandTest, NumbersWiderThanTheirFieldAreRefused) {
    Connect();
    korrtest::LambdaDevice device(bench.Line(), nullptr);
    const uint32_t fourDigitTooWide = 0x11000;
    const uint32_t fiveDigitTooWide = 0x100000;
    EXPECT_EQ(host.BSLCommand('X', &fourDigitTooWide, 1, '\r', reply, &elapsed, false), -11);
    EXPECT_EQ(host.BSLCommand('X', &fiveDigitTooWide, 1, '\r', reply, &elapsed, true), -11);
    bench.Loop().RunUntil(bench.Loop().Now() + 100'000);
    EXPECT_EQ(device.received, "") << "no segment other than the one asked for is touched";
}

// --- the reply table, with scripted answers ---

TEST_F(BSLCommandTest, ReplyTable) {
    struct Case {
        const char* answer;
        int32_t expected;
    } cases[] = {
        {"+\r", 2},
        {"\n+\r", 3},
        {"+12+\r", 5},
        {"-\r", -1},
        {"?\r", -1},
        {"ERROR\r", -1},
        {"x+ERROR\r", 8},
        {"abc\r", -1},
        {"+23456789012345678901234\r", 20},  // cut at 20 characters
    };
    Connect();
    for (const Case& c : cases) {
        korrtest::LambdaDevice device(bench.Line(), korrtest::AnswerEachLine(c.answer));
        EXPECT_EQ(host.BSLCommand('g', nullptr, 0, '\r', reply, &elapsed), c.expected) << c.answer;
        SleepMs(100);  // let the rest of a cut reply go by
    }
}

// One exchange on a fresh line whose loader answers `answer`; the cable is pulled at pullAtMs
// (0: never).
int32_t ExchangeWithPull(const char* answer, uint32_t pullAtMs, char* reply, uint32_t* elapsed) {
    korrsim::SimBench bench;
    KorrBSLHost host(nullptr);
    korrtest::LambdaDevice device(bench.Line(), korrtest::AnswerEachLine(answer));
    if (KSOpen(host.port, bench.Port(), 9600) != 1) return 0;
    host.connected = true;
    if (pullAtMs > 0) {
        bench.Loop().After(pullAtMs * korrsim::kUsPerMs, [&bench] { bench.Line().Unplug(); });
    }
    return host.BSLCommand('g', nullptr, 0, '\r', reply, elapsed);
}

TEST(BSLCommandReply, PortFailingAfterAPartialReplyIsJudgedOnWhatArrived) {
    // Without a carriage return the wait times out and the read that follows goes to the port
    // for its last 100 ms: the cable is pulled in the middle of that read.
    struct Case {
        const char* answer;
        int32_t expected;
    } cases[] = {{"+1", 2}, {"?1", -1}, {"ab", -21}};
    for (const Case& c : cases) {
        char reply[kBSLReplyCapacity];
        uint32_t elapsed = 0;
        ExchangeWithPull(c.answer, 0, reply, &elapsed);  // how long the exchange takes
        ASSERT_GT(elapsed, 1100u);
        EXPECT_EQ(ExchangeWithPull(c.answer, elapsed - 50, reply, &elapsed), c.expected)
            << c.answer;
        EXPECT_EQ(std::string(reply), c.answer);
    }
}

TEST_F(BSLCommandTest, WriteFailureIsLoggedAsKCommWrite) {
    Connect();
    bench.Line().Unplug();
    EXPECT_EQ(host.BSLCommand('g', nullptr, 0, '\r', reply, &elapsed), -21);
    EXPECT_NE(korrtest::ReadFile(logPath).find(
                  "KorrBSL: BSLCommand got unexpected response (-21) from KCommWrite"),
              std::string::npos);
}

// A refusal is the loader's own only while the line has given no other trouble: a frame that
// reaches it damaged is refused too, and then commands go through only when repeated.
TEST_F(BSLCommandTest, TheLineRecordTellsARefusalFromANoisyLine) {
    struct Case {
        const char* letters;               // the command of each exchange
        std::vector<std::string> answers;  // one per exchange; empty: no answer
        LoaderTrouble trouble;
        uint32_t repeatedThrough;
    } cases[] = {
        {"ggg", {"+\r", "-\r", "-\r"}, LoaderTrouble::Refused, 0},
        // a block refused on every try, its address accepted before each new try
        {"W@W@W", {"-\r", "+\r", "-\r", "+\r", "-\r"}, LoaderTrouble::Refused, 0},
        {"WW@W", {"-\r", "+\r", "+\r", "-\r"}, LoaderTrouble::NoisyLine, 1},
        {"gg", {"+\r", "\r"}, LoaderTrouble::Garbled, 0},  // the '+' was lost
        {"ggg", {"x\r", "?\r", "+2\r"}, LoaderTrouble::None, 2},
        {"gg", {"-\r", ""}, LoaderTrouble::Silent, 0},
    };
    Connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters);
        size_t next = 0;
        korrtest::LambdaDevice device(bench.Line(), [&](korrsim::Link& link, uint8_t byte) {
            if (byte != '\r' || next >= c.answers.size()) return;
            const std::string answer = c.answers[next++];
            if (!answer.empty())
                link.Loop().After(1000, [&link, answer] { link.DeviceSend(answer); });
        });
        host.line.Clear();
        for (size_t i = 0; i < c.answers.size(); ++i) {
            const char letter = c.letters[i];
            host.BSLCommand(letter, letter == 'g' ? nullptr : "1100", letter == 'g' ? 0 : 4, '\r',
                            reply, &elapsed);
        }
        EXPECT_EQ(JudgeLoaderTrouble(host.line), c.trouble);
        EXPECT_EQ(host.line.repeatedThrough, c.repeatedThrough);
    }
}

}  // namespace
