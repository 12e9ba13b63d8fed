// Every command that takes a port names the port and the cause when it cannot use it, and
// points to its log; nothing is sent anywhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <string>
#include <vector>

#include "support/OutputText.h"
#include "support/PtyPair.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

TEST(PortErrorCli, EachCommandNamesThePortAndTheCause) {
    korrtest::TempDir dir;
    const std::string file = dir.File("not-a-port.txt");
    korrtest::WriteFile(file, "text\n");
    const std::string missing = "/dev/korrtest-no-such-port";
    // A port another program holds: the test takes the lock a port's user takes.
    korrtest::PtyPair held;
    ASSERT_TRUE(held.Ok());
    const int holder = ::open(held.NearPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    const std::string log =
        dir.File("data/Korrin/KorrBSL/Quorra Series 7 Firmware Updater.errors.txt");
    const struct Case {
        std::string port;
        int status;
        std::string line;
    } cases[] = {
        {.port = "", .status = 2, .line = ": the port name is empty (see korrbsl "},
        {.port = file, .status = 1, .line = "error: " + file + " is not a serial port\n"},
        {.port = dir.Path().string(),
         .status = 1,
         .line = "error: " + dir.Path().string() + " is not a serial port\n"},
        {.port = "/dev/null", .status = 1, .line = "error: /dev/null is not a serial port\n"},
        {.port = missing, .status = 1, .line = "error: " + missing + " isn't available"},
        {.port = held.NearPath(),
         .status = 1,
         .line = "error: " + held.NearPath() + " is already in use by another program\n"},
    };
    for (const char* command : {"identify", "flash"}) {
        for (const Case& c : cases) {
            const korrtest::SpawnResult r = korrtest::Spawn(
                KORRBSL_PATH, {command, "--port", c.port}, {"XDG_DATA_HOME=" + dir.File("data")});
            const std::string shown = std::string(command) + " --port '" + c.port + "'";
            EXPECT_EQ(r.status, c.status) << shown << "\n" << r.err;
            EXPECT_TRUE(Has(r.err, c.line)) << shown << "\n" << r.err;
            EXPECT_EQ(Has(r.err, "The log is in " + log + "\n"), c.status == 1) << shown << "\n"
                                                                                << r.err;
            EXPECT_FALSE(Has(r.out, "Identifying")) << shown << ": nothing is sent";
        }
    }
    ::close(holder);
    EXPECT_TRUE(Has(korrtest::ReadFile(log), "Opening the port failed"));
}

}  // namespace
