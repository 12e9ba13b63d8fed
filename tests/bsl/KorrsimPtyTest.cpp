// korrsim on a pseudo-terminal and korrbsl flash on the real serial backend, in real time:
// the simulator's flash dump must hold exactly the firmware file's bytes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "support/SmallFirmware.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

// A child process whose standard output the test reads.
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    // The first line of output, within timeoutMs.
    std::string ReadLine(int timeoutMs) {
        std::string line;
        pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            char c;
            if (::read(out_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }
    // The exit status once it ended by itself within timeoutMs; -1 otherwise.
    int Wait(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// Bytes of a standard TI-Text file by address (the 'q' line ends it).
std::map<uint32_t, uint8_t> TiTextBytes(const std::string& text) {
    std::map<uint32_t, uint8_t> bytes;
    std::istringstream in(text);
    std::string token;
    uint32_t address = 0;
    while (in >> token && token != "q") {
        if (token[0] == '@') {
            address = static_cast<uint32_t>(std::stoul(token.substr(1), nullptr, 16));
        } else {
            bytes[address++] = static_cast<uint8_t>(std::stoul(token, nullptr, 16));
        }
    }
    return bytes;
}

TEST(KorrsimPty, KorrbslFlashProgramsTheSimulatedInstrument) {
    korrtest::TempDir dir;
    // A small image: two sections and the vectors, the reset vector at its start.
    const std::string firmware = korrtest::SmallFirmwareText(700, "@2000\nAA BB CC\n");
    const std::string file = dir.File("QS7 9-99.txt");
    korrtest::WriteFile(file, firmware);

    const std::string dump = dir.File("dump.txt");
    Child sim({KORRSIM_PATH, "--once", "--dump-flash", dump, "--link", dir.File("port")});
    const std::string path = sim.ReadLine(5000);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

    const korrtest::SpawnResult run = korrtest::SpawnCombined(
        KORRBSL_PATH, {"flash", "--port", dir.File("port"), "--firmware", file, "--yes"},
        {"XDG_DATA_HOME=" + dir.File("data")});
    ASSERT_TRUE(run.out.find("Programmed QS7 9.99") != std::string::npos) << run.out;
    ASSERT_EQ(sim.Wait(10000), 0) << "korrsim --once ends when the port is let go";

    std::map<uint32_t, uint8_t> expected = TiTextBytes(firmware);
    std::map<uint32_t, uint8_t> flash = TiTextBytes(korrtest::ReadFile(dump));
    // The dump leaves out lines of erased bytes.
    for (const auto& [address, byte] : expected) {
        EXPECT_EQ(flash.count(address) != 0 ? flash[address] : 0xFF, byte) << std::hex << address;
    }
    for (const auto& [address, byte] : flash) {
        if (expected.count(address) == 0) {
            EXPECT_EQ(byte, 0xFF) << std::hex << address;
        }
    }
}

}  // namespace

namespace {

// korrbsl identify on the real serial backend against korrsim's instrument firmware.
TEST(KorrsimPty, KorrbslIdentifiesTheSimulatedInstrument) {
    korrtest::TempDir dir;
    Child sim({KORRSIM_PATH, "--firmware-version", "3.55", "--link", dir.File("port")});
    ASSERT_EQ(sim.ReadLine(5000).rfind("/dev/", 0), 0u);

    const korrtest::SpawnResult identify =
        korrtest::SpawnCombined(KORRBSL_PATH, {"identify", "--port", dir.File("port")},
                                {"XDG_DATA_HOME=" + dir.File("data")});
    const std::string& out = identify.out;
    ASSERT_EQ(identify.status, 0) << out;
    EXPECT_NE(out.find("\"QS7 3.55\" (355)"), std::string::npos) << out;
    EXPECT_NE(out.find("device type:        12 QS7 \"Quorra Series 7\""), std::string::npos) << out;
    EXPECT_NE(out.find("updatable:          yes"), std::string::npos) << out;
}

}  // namespace
