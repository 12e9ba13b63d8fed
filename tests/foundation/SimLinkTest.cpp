// The simulated line itself: wire time, rate mismatch, and the fault injector's determinism.
#include <gtest/gtest.h>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "support/LambdaDevice.h"

using namespace korrsim;

namespace {

TEST(EventLoop, RunsInTimeThenInsertionOrder) {
    EventLoop loop;
    std::string order;
    loop.At(20, [&] { order += 'c'; });
    loop.At(10, [&] { order += 'a'; });
    loop.At(10, [&] { order += 'b'; });
    uint64_t cancelled = loop.At(15, [&] { order += 'x'; });
    loop.Cancel(cancelled);
    loop.RunUntil(100);
    EXPECT_EQ(order, "abc");
    EXPECT_EQ(loop.Now(), 100u);
}

TEST(EventLoop, ConditionStopsAtTheActionThatMetIt) {
    EventLoop loop;
    bool flag = false;
    loop.At(40, [&] { flag = true; });
    loop.At(50, [] {});
    EXPECT_TRUE(loop.RunUntil(1000, [&] { return flag; }));
    EXPECT_EQ(loop.Now(), 40u);
    EXPECT_FALSE(loop.RunUntil(1000, [] { return false; }));
    EXPECT_EQ(loop.Now(), 1000u);
}

TEST(Link, BytesTakeTenBitTimesAtTheSendersRate) {
    struct Case {
        uint32_t baud;
        TimeUs tenBytesUs;
    } cases[] = {{9600, 10417}, {57600, 1737}, {115200, 869}};
    for (const Case& c : cases) {
        EventLoop loop;
        Link link(loop, 1);
        link.SetHostBaud(c.baud);
        link.SetDeviceBaud(c.baud);
        TimeUs lastArrival = 0;
        korrtest::LambdaDevice device(link,
                                      [&](Link& l, uint8_t) { lastArrival = l.Loop().Now(); });
        link.HostWrite(reinterpret_cast<const uint8_t*>("0123456789"), 10);
        loop.RunUntil(1'000'000);
        EXPECT_EQ(device.received, "0123456789");
        EXPECT_EQ(lastArrival, c.tenBytesUs) << c.baud;
    }
}

TEST(Link, RateMismatchArrivesAsGarbage) {
    EventLoop loop;
    Link link(loop, 7);
    link.SetHostBaud(9600);
    link.SetDeviceBaud(57600);
    korrtest::LambdaDevice device(link, nullptr);
    const std::string text = "boot VLUX\r";
    link.HostWrite(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    loop.RunUntil(1'000'000);
    EXPECT_EQ(device.received.size(), text.size());
    EXPECT_NE(device.received, text);
}

std::string SendThroughFaults(uint64_t seed) {
    EventLoop loop;
    Link link(loop, seed);
    link.Faults().SetRates(Direction::ToDevice,
                           FaultRates{.lose = 0.05, .corrupt = 0.05, .insert = 0.05});
    korrtest::LambdaDevice device(link, nullptr);
    std::string text(400, 'A');
    link.HostWrite(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    loop.RunUntil(10'000'000);
    return device.received;
}

TEST(FaultInjector, SameSeedSameFaultsOtherSeedOtherFaults) {
    std::string a = SendThroughFaults(42);
    EXPECT_EQ(a, SendThroughFaults(42));
    EXPECT_NE(a, SendThroughFaults(43));
    EXPECT_NE(a, std::string(400, 'A'));
}

TEST(FaultInjector, SilenceDropsBothDirectionsAndOneShotsHitTheirByte) {
    EventLoop loop;
    Link link(loop, 1);
    link.HostOpen();
    korrtest::LambdaDevice device(link, nullptr);
    link.Faults().AddSilence(0, 5000);
    link.HostWrite(reinterpret_cast<const uint8_t*>("ab"), 2);  // sent inside the silence
    link.DeviceSend("cd");
    loop.RunUntil(6000);
    EXPECT_EQ(device.received, "");
    EXPECT_EQ(link.HostAvailable(), 0u);

    link.Faults().AddOneShot(Direction::ToDevice, 3, FaultKind::Lose);  // the 4th byte ever sent
    link.HostWrite(reinterpret_cast<const uint8_t*>("xyz"), 3);
    loop.RunUntil(100'000);
    EXPECT_EQ(device.received, "xz");
}

TEST(Link, EchoAndNoiseReachTheHost) {
    EventLoop loop;
    Link link(loop, 3);
    link.HostOpen();
    korrtest::LambdaDevice device(link, nullptr);
    link.SetEcho(true);
    link.HostWrite(reinterpret_cast<const uint8_t*>("get\r"), 4);
    loop.RunUntil(100'000);
    uint8_t buf[16];
    size_t n = link.HostRead(buf, sizeof buf);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "get\r");
    // The relay repeats what the host sent, whatever rate the device listens at: a garbled
    // echo once read as a loader's '?'.
    link.SetHostBaud(57600);
    link.HostWrite(reinterpret_cast<const uint8_t*>("\r?\r"), 3);
    loop.RunUntil(loop.Now() + 100'000);
    n = link.HostRead(buf, sizeof buf);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "\r?\r");
    link.InjectNoise(Direction::ToHost, loop.Now(), 5);
    loop.RunUntil(loop.Now() + 100'000);
    EXPECT_EQ(link.HostAvailable(), 5u);
}

}  // namespace
