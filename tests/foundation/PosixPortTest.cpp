// The posix backend on a pseudo-terminal pair of the test's own (real time, a few short cases).
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>

#include "log/KorrLog.h"
#include "serial/KorrSerial.h"
#include "serial/PosixPort.h"
#include "support/PtyPair.h"
#include "support/TempDir.h"

using namespace korr;

namespace {

class PosixPortTest : public ::testing::Test {
  protected:
    korrtest::TempDir dir;
    std::string logPath = dir.File("log.txt");
    KorrLog log{logPath.c_str(), LOG_TRACE};
    korrtest::PtyPair pty;
    KorrSerial port{&log};

    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_EQ(KSOpen(port, pty.NearPath().c_str(), 9600), 1);
    }
    std::string Log() { return korrtest::ReadFile(logPath); }
};

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TEST(SystemPortPath, BareNamesLiveInDev) {
    EXPECT_EQ(SystemPortPath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SystemPortPath("/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
}

TEST(BaudToSpeed, KnownRatesOnly) {
    speed_t s;
    EXPECT_TRUE(BaudToSpeed(57600, &s));
    EXPECT_EQ(s, static_cast<speed_t>(B57600));
    EXPECT_FALSE(BaudToSpeed(12345, &s));
    EXPECT_FALSE(BaudToSpeed(0, &s));
}

TEST_F(PosixPortTest, ExchangeBothWaysAndEmptyReadTakes100Ms) {
    EXPECT_EQ(KSWrite(port, "ping\r", 5), 5);
    EXPECT_EQ(pty.Receive(500), "ping\r");
    pty.Send("pong\r");
    EXPECT_EQ(KSWait(port, 1000, '\r'), '\r');
    char out[16];
    EXPECT_EQ(KSRead(port, out, sizeof out), 5);

    int64_t start = NowMs();
    EXPECT_EQ(KSRead(port, out, sizeof out), 0);
    int64_t took = NowMs() - start;
    EXPECT_GE(took, 90);
    EXPECT_LT(took, 400);
}

TEST_F(PosixPortTest, SecondOpenerIsRefusedEvenForRoot) {
    KorrSerial second(&log);
    int32_t r = KSOpen(second, pty.NearPath().c_str(), 9600);
    EXPECT_TRUE(r == -EWOULDBLOCK || r == -EBUSY) << r;
    EXPECT_EQ(ProbePortLock(pty.NearPath().c_str()), r);
    KSClose(port);
    EXPECT_EQ(KSOpen(second, pty.NearPath().c_str(), 9600), 1) << "free again after close";
}

TEST_F(PosixPortTest, BaudChangeIsSeenFromTheFarSide) {
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(KSHostBaud(port, 57600), 1);
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(KSHostBaud(port, 14400), -EINVAL);
}

TEST_F(PosixPortTest, RawEightNoneOneWithModemLinesIgnored) {
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    // Bytes go through untranslated.
    pty.Send(std::string("\r\n\x11\x13\x03", 5));
    char out[8];
    EXPECT_EQ(KSWait(port, 500, '\x03'), 3);
    EXPECT_EQ(KSRead(port, out, sizeof out), 5);
}

TEST_F(PosixPortTest, FarSideGoneIsAReadFailureAtOnce) {
    pty.CloseMaster();
    int64_t start = NowMs();
    EXPECT_EQ(KSWait(port, 3000, '\r'), -21);
    EXPECT_LT(NowMs() - start, 500) << "no endless run of empty reads";
    EXPECT_NE(Log().find("KSWait ReadFile failed (error 5)"), std::string::npos);
}

}  // namespace
