// The serial layer on a simulated line, in virtual time.
#include <gtest/gtest.h>

#include <cstring>

#include "host/SimBench.h"
#include "log/KorrLog.h"
#include "serial/KorrSerial.h"
#include "support/LambdaDevice.h"
#include "support/TempDir.h"

using namespace korr;
using korrsim::kUsPerMs;
using korrtest::LambdaDevice;

namespace {

class SerialSimTest : public ::testing::Test {
  protected:
    korrtest::TempDir dir;
    std::string logPath = dir.File("log.txt");
    KorrLog log{logPath.c_str(), LOG_TRACE};
    korrsim::SimBench bench;
    LambdaDevice device{bench.Line(), nullptr};
    KorrSerial port{&log};

    void Open() { ASSERT_EQ(KSOpen(port, bench.Port(), 9600), 1); }
    // The device sends text now; the test lets it cross the wire before reading.
    void DeviceSendsAndSettles(const std::string& text) {
        bench.Line().DeviceSend(text);
        SleepMs(static_cast<uint32_t>(text.size() * 2 + 5));
    }
    std::string Log() { return korrtest::ReadFile(logPath); }
};

TEST_F(SerialSimTest, OpenDefaultsTo9600RaisesDtrAndLogsWithPortName) {
    ASSERT_EQ(KSOpen(port, bench.Port(), 0), 1);
    EXPECT_EQ(port.baud, 9600u);
    EXPECT_EQ(bench.Line().HostBaud(), 9600u);
    EXPECT_TRUE(device.dtr);
    EXPECT_TRUE(port.OwnsBuffer());
    EXPECT_NE(Log().find("sim0: KSOpen successfully opened and configured comm port at 9600 baud"),
              std::string::npos);
    EXPECT_EQ(KSClose(port), 1);
    EXPECT_FALSE(device.dtr);
    EXPECT_EQ(port.readBuffer, nullptr);
}

TEST_F(SerialSimTest, OpenOfUnknownPortReturnsNegatedErrno) {
    EXPECT_EQ(KSOpen(port, "nosuch", 9600), -ENOENT);
    EXPECT_NE(Log().find("nosuch: KSOpen failed to open comm port (error 2)"), std::string::npos);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialSimTest, ReopenClosesTheOldHandleFirst) {
    Open();
    long first = port.handle->Handle();
    Open();
    EXPECT_NE(
        Log().find("KorrSerial: KSOpen found port \"" + std::to_string(first) + "\" already open"),
        std::string::npos);
}

TEST_F(SerialSimTest, OpenKeepsAnInstalledBuffer) {
    char mine[kReadBufferSize];
    port.readBuffer = mine;
    Open();
    EXPECT_FALSE(port.OwnsBuffer());
    EXPECT_EQ(port.readBuffer, mine);
    KSClose(port);
    EXPECT_EQ(port.readBuffer, mine);
}

TEST_F(SerialSimTest, WaitFindsTerminatorAndReadReturnsTheRestWithoutReadingThePort) {
    Open();
    DeviceSendsAndSettles("abc\rde");
    EXPECT_EQ(KSWait(port, 1000, '\r'), '\r');
    EXPECT_TRUE(port.replyReady);
    bench.Line().DeviceSend("LATER");  // would be read if KSRead touched the port
    SleepMs(20);
    char out[20];
    EXPECT_EQ(KSRead(port, out, sizeof out), 6);
    EXPECT_EQ(std::string(out, 6), "abc\rde");
    EXPECT_FALSE(port.replyReady);
}

TEST_F(SerialSimTest, WaitTimeoutKeepsTheBytesForTheNextRead) {
    Open();
    DeviceSendsAndSettles("xyz");
    const uint32_t start = TickMs();
    EXPECT_EQ(KSWait(port, 300, '\r'), 0);
    EXPECT_GE(TickMs() - start, 300u);
    EXPECT_LE(TickMs() - start, 420u);
    bench.Line().Loop().After(10 * kUsPerMs, [this] { bench.Line().DeviceSend("12"); });
    char out[20];
    int32_t n = KSRead(port, out, sizeof out);
    ASSERT_GE(n, 3);
    EXPECT_EQ(std::string(out, 3), "xyz");
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), "xyz1")
        << "port read after buffer returns the first byte";
}

TEST_F(SerialSimTest, ReadCutAtCapacityDiscardsExcessAndSetsReplyReady) {
    Open();
    DeviceSendsAndSettles("12345678");
    EXPECT_EQ(KSWait(port, 200, '\r'), 0);
    bench.Line().DeviceSend("more");
    SleepMs(10);
    char out[5];
    EXPECT_EQ(KSRead(port, out, sizeof out), 5);
    EXPECT_EQ(std::string(out, 5), "12345");
    char again[10];
    // The excess is gone; the next read goes to the port.
    int32_t n = KSRead(port, again, sizeof again);
    EXPECT_EQ(std::string(again, static_cast<size_t>(n)), "more");
}

TEST_F(SerialSimTest, LongWaitYieldsAfterFiveEmptyReads) {
    Open();
    const uint32_t start = TickMs();
    EXPECT_EQ(KSWait(port, 1000, '>'), 0);
    // Five empty 100 ms reads, then 200 ms pauses between reads: ends just past the time-out.
    uint32_t elapsed = TickMs() - start;
    EXPECT_GT(elapsed, 1000u);
    EXPECT_LE(elapsed, 1300u);
}

TEST_F(SerialSimTest, NulFromTheLineEndsTheBufferedText) {
    Open();
    bench.Line().DeviceSend(std::string("ab\0c\r", 5));
    SleepMs(10);
    EXPECT_EQ(KSWait(port, 200, '\r'), 0) << "the terminator after a NUL is not seen";
    char out[20];
    EXPECT_EQ(KSRead(port, out, sizeof out), 2);
}

TEST_F(SerialSimTest, ClosedPortOperationsFailWithTagKorrSerial) {
    char out[8];
    port.readBuffer = out;  // so KSWait and KSRead get past the buffer check
    out[0] = '\0';
    EXPECT_EQ(KSWrite(port, "x", 1), -21);
    EXPECT_EQ(KSWait(port, 100, '\r'), -21);
    EXPECT_EQ(KSRead(port, out, sizeof out), -21);
    const std::string text = Log();
    EXPECT_NE(text.find("KorrSerial: KSWrite tried to write to a closed port"), std::string::npos);
    EXPECT_NE(text.find("KorrSerial: KSWait tried to operate on a closed port"), std::string::npos);
    EXPECT_NE(text.find("KorrSerial: KSRead tried to read from a closed port"), std::string::npos);
}

TEST_F(SerialSimTest, CloseTwiceAndBuffersMissing) {
    Open();
    EXPECT_EQ(KSClose(port), 1);
    std::string before = Log();
    EXPECT_EQ(KSClose(port), 0);
    EXPECT_EQ(Log(), before) << "second close logs nothing";
    KorrSerial fresh(&log);
    char out[4];
    EXPECT_EQ(KSRead(fresh, out, sizeof out), -60);
}

TEST_F(SerialSimTest, HostBaud) {
    EXPECT_EQ(KSHostBaud(port, 57600), -6) << "never opened";
    Open();
    EXPECT_EQ(KSHostBaud(port, 9600), 0);
    EXPECT_EQ(KSHostBaud(port, 57600), 1);
    EXPECT_EQ(bench.Line().HostBaud(), 57600u);
    EXPECT_EQ(KSHostBaud(port, 12345), -EINVAL) << "a rate the port cannot set is an error";
    EXPECT_EQ(port.baud, 57600u);
    EXPECT_NE(Log().find("KSHostBaud failed to apply new baud rate \"12345\" (error 22)"),
              std::string::npos);
    KSClose(port);
    EXPECT_EQ(KSHostBaud(port, 9600), -EBADF) << "opened once, closed now: no driver to ask";
}

TEST_F(SerialSimTest, PurgeDropsArrivedInputAndLookAhead) {
    Open();
    DeviceSendsAndSettles("junk");
    EXPECT_EQ(KSPurge(port), 0);
    char out[8];
    EXPECT_EQ(KSRead(port, out, sizeof out), 0);
}

TEST_F(SerialSimTest, WriteTakesWireTimeBeforeTheDeviceSeesIt) {
    Open();
    EXPECT_EQ(KSWrite(port, "0123456789", 10), 10);
    EXPECT_EQ(device.received, "");
    SleepMs(10);  // 10 bytes at 9600 baud take 10.4 ms
    EXPECT_EQ(device.received.size(), 9u);
    SleepMs(1);
    EXPECT_EQ(device.received, "0123456789");
}

TEST_F(SerialSimTest, ReadFailureStillCountsTheLookAheadItHandedOver) {
    Open();
    DeviceSendsAndSettles("xyz");
    EXPECT_EQ(KSWait(port, 200, '\r'), 0);
    bench.Line().Unplug();
    char out[20];
    uint32_t count = 99;
    EXPECT_EQ(KSRead(port, out, sizeof out, &count), -21);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(out, 3), "xyz");
}

TEST_F(SerialSimTest, PulledCableIsAReadFailureNotEmptyReads) {
    Open();
    bench.Line().Unplug();
    EXPECT_EQ(KSWait(port, 1000, '\r'), -21);
    EXPECT_NE(Log().find("KSWait ReadFile failed (error 5)"), std::string::npos);
}

}  // namespace
