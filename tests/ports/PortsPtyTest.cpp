// Busy marks and trying further nodes on pseudo-terminals of the test's own (real time).
#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "log/KorrLog.h"
#include "serial/CommPortEnum.h"
#include "serial/KorrSerial.h"
#include "serial/PosixPort.h"
#include "serial/TablePortSource.h"
#include "support/PtyPair.h"
#include "support/TempDir.h"

using namespace korr;

namespace {

class PortsPtyTest : public ::testing::Test {
  protected:
    korrtest::TempDir dir;
    std::string logPath = dir.File("log.txt");
    KorrLog log{logPath.c_str(), LOG_TRACE};
    KorrSerial enumerator{&log};
    KorrSerial holder{&log};  // plays the other program
    korrtest::PtyPair held;
    korrtest::PtyPair free;
    TablePortSource source;
    CommPortInfo list[kCommPortListSize] = {};
    int32_t count = 0;

    void SetUp() override {
        ASSERT_TRUE(held.Ok() && free.Ok());
        ASSERT_LT(held.NearPath().size(), kCommPortNameCapacity);
        ASSERT_EQ(KSOpen(holder, held.NearPath().c_str(), 9600), 1);
    }
    int32_t Run(bool findAll) {
        count = kCommPortListSize;
        return CommPortEnum(enumerator, list, &count, findAll, source);
    }
    std::vector<std::string> Column(bool names) const {
        std::vector<std::string> out;
        for (int32_t i = 0; i < count; ++i) {
            out.emplace_back(names ? list[i].name : list[i].description);
        }
        return out;
    }
    static PortDevice Adapter(const std::string& path) {
        PortDevice d;
        d.name = path;
        d.hasParent = true;
        d.friendlyName = "Test Adapter";
        return d;
    }
};

TEST_F(PortsPtyTest, APortHeldByAnotherProgramIsMarkedBusyWithItsNameUnchanged) {
    const std::string h = held.NearPath();
    const std::string f = free.NearPath();
    source.devices = {Adapter(h), Adapter(f)};
    ASSERT_EQ(Run(false), 2);
    int32_t hi = std::string(list[0].name) == h ? 0 : 1;
    EXPECT_EQ(list[hi].name, h);
    EXPECT_EQ(list[hi].description, h + " Test Adapter (busy)");
    EXPECT_EQ(list[1 - hi].description, f + " Test Adapter");

    // The probe left the free port as it was: no lock kept, no settings changed.
    termios before{};
    termios after{};
    ASSERT_EQ(tcgetattr(free.Master(), &before), 0);
    EXPECT_EQ(ProbePortLock(f.c_str()), 0);
    ASSERT_EQ(tcgetattr(free.Master(), &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    KSClose(holder);
    ASSERT_EQ(Run(false), 2);
    EXPECT_EQ(list[hi].description, h + " Test Adapter") << "free again once released";
}

TEST_F(PortsPtyTest, FindAllAddsOpenableNodesAfterTheListedOnes) {
    PortDevice uart;
    uart.name = "ttyS1";
    uart.hasParent = true;
    uart.uartType = 4;
    source.devices = {uart};
    source.probeNames = {"ttyS3", free.NearPath(), held.NearPath(), "/dev/pts/999999"};
    EXPECT_EQ(Run(true), 1);
    EXPECT_EQ(Column(true), (std::vector<std::string>{"ttyS1", free.NearPath(), held.NearPath()}));
    EXPECT_EQ(Column(false), (std::vector<std::string>{
                                 "ttyS1 Communications Port",
                                 free.NearPath() + " Communications Port",
                                 held.NearPath() + " Communications Port (busy)",
                             }));
}

}  // namespace
