// The simulated loader refuses what a wrong host would send: an address of the other width, a
// frame longer than it takes, and data for flash that was not erased.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "models/BslLoader.h"
#include "models/Flash.h"
#include "models/InstrumentTypes.h"

using namespace korrsim;

namespace {

// A frame as the host builds it: letter, fields, '.', the check value, carriage return.
std::string Frame(const std::string& body) {
    uint32_t sum = '.';
    for (char c : body) sum += static_cast<unsigned char>(c);
    char check[8];
    std::snprintf(check, sizeof check, "%04X", sum % 0xFFFF);
    return body + "." + check + "\r";
}

class StrictLoader : public ::testing::Test {
  protected:
    void Open(const char* type) {
        flash = std::make_unique<Flash>(FindInstrumentType(type)->flash);
        loader = std::make_unique<BslLoader>(link, *flash);
        link.AttachDevice(loader.get());
        link.SetDeviceBaud(9600);
        link.HostOpen();
        loader->SetState(BslLoader::State::Connected);
    }
    std::string Send(const std::string& body) {
        const std::string frame = Frame(body);
        link.HostWrite(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
        loop.RunUntil(loop.Now() + 2000 * kUsPerMs);
        std::string out(link.HostAvailable(), '\0');
        link.HostRead(reinterpret_cast<uint8_t*>(out.data()), out.size());
        return out;
    }
    static std::string Words(size_t count, const char* word = "1234") {
        std::string text;
        for (size_t i = 0; i < count; ++i) text += word;
        return text;
    }

    EventLoop loop;
    Link link{loop, 1};
    std::unique_ptr<Flash> flash;
    std::unique_ptr<BslLoader> loader;
};

TEST_F(StrictLoader, TakesAddressesOfItsOwnWidthOnly) {
    struct Case {
        const char* type;
        const char* frame;
        const char* reply;
    } cases[] = {
        {"QS7", "@1100", "+\r"},       {"QS7", "@01100", "-\r"}, {"QS7", "X1100", "+\r"},
        {"QS7", "X01100", "-\r"},      {"QS7", "@110", "-\r"},   {"QE8", "@02100", "+\r"},
        {"QE8", "@2100", "-\r"},       {"QE8", "X10000", "+\r"}, {"QE8", "X0000", "-\r"},
        {"QVX", "X3BE00", "+\r"},      {"QVX", "@5C00", "-\r"},  {"MORVA-XE", "X8000", "+\r"},
        {"MORVA-XE", "X08000", "-\r"},
    };
    for (const Case& c : cases) {
        Open(c.type);
        EXPECT_EQ(Send(c.frame), c.reply) << c.type << " " << c.frame;
    }
}

TEST_F(StrictLoader, RefusesFramesLongerThanItTakes) {
    Open("QS7");
    ASSERT_EQ(Send("X1100"), "+\r");
    ASSERT_EQ(Send("@1100"), "+\r");
    EXPECT_EQ(Send("W" + Words(128)), "+\r") << "512 characters of data is the most";
    EXPECT_EQ(Send("W" + Words(128) + "1"), "?\r") << "one more and it cannot take the frame";
    EXPECT_EQ(Send("W" + Words(130)), "?\r");
    EXPECT_EQ(loader->Stats().writes, 1u);
    EXPECT_EQ(Send("g"), "+12+\r") << "and it listens again after the long frame";
}

TEST_F(StrictLoader, WritesOnlyIntoSegmentsErasedBefore) {
    Open("QS7");
    const uint8_t old[2] = {0x00, 0x40};  // old firmware at 0x1300
    flash->Load(0x1300, old, 2);
    ASSERT_EQ(Send("@1300"), "+\r");
    EXPECT_EQ(Send("W" + Words(2, "FFFF")), "-\r") << "over old firmware, not erased";
    ASSERT_EQ(Send("X1300"), "+\r");
    ASSERT_EQ(Send("@1300"), "+\r");
    EXPECT_EQ(Send("W" + Words(2)), "+\r");
    ASSERT_EQ(Send("@1300"), "+\r");
    EXPECT_EQ(Send("W" + Words(2)), "+\r") << "the same data again, as a host's retry sends it";
    EXPECT_EQ(flash->Word(0x1300), 0x1234);

    // A block that runs on into the next segment needs that one erased (or blank) as well.
    flash->Load(0x1500, old, 2);
    ASSERT_EQ(Send("@14F0"), "+\r");
    EXPECT_EQ(Send("W" + Words(16)), "-\r");
    EXPECT_EQ(flash->Word(0x14F0), 0xFFFF) << "a refused block writes nothing";
    ASSERT_EQ(Send("X1500"), "+\r");
    ASSERT_EQ(Send("@14F0"), "+\r");
    EXPECT_EQ(Send("W" + Words(16)), "+\r");

    // Blank flash is as good as erased; a new session forgets what the last one erased.
    ASSERT_EQ(Send("@2000"), "+\r");
    EXPECT_EQ(Send("W" + Words(4)), "+\r");
    loader->SetState(BslLoader::State::Connected);
    ASSERT_EQ(Send("@1300"), "+\r");
    EXPECT_EQ(Send("W" + Words(2)), "-\r");
}

TEST_F(StrictLoader, InformationMemoryIsErasedSegmentBySegment) {
    Open("QS7");
    const uint8_t old[2] = {0x11, 0x22};
    flash->Load(0x1000, old, 2);
    flash->Load(0x1080, old, 2);
    ASSERT_EQ(Send("X1000"), "+\r");
    ASSERT_EQ(Send("@1000"), "+\r");
    EXPECT_EQ(Send("W" + Words(2)), "+\r");
    ASSERT_EQ(Send("@107C"), "+\r");
    EXPECT_EQ(Send("W" + Words(4)), "-\r") << "the second segment still holds old data";
}

}  // namespace
