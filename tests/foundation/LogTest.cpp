#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "log/KorrLog.h"
#include "serial/Clock.h"
#include "support/TempDir.h"

using namespace korr;

namespace {

using korrtest::ReadFile;
using korrtest::TempDir;

// 1 March 2027 09:05:07 UTC.
constexpr std::time_t kFirstOfMarch = 1803891907;

class LogTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.File("log.txt");
    ScopedClock clock{std::make_shared<VirtualClock>(kFirstOfMarch, 0)};
};

TEST_F(LogTest, LineFormatIsStampTagMessageCrLf) {
    KorrLog log(path.c_str(), LOG_VERBOSE);
    int n = log.Print(LOG_ERROR, "KorrBSL", "BSLSendAddress (%05X) successful", 0x1100);
    const std::string expected =
        "1 Mar 2027 9:05:07 - KorrBSL: BSLSendAddress (01100) successful\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()));
}

TEST_F(LogTest, StampFollowsLocalOffsetAndMonthNames) {
    char stamp[48];
    FormatLogStamp(stamp, sizeof stamp, 2026, 11, 7, 15, 56, 26);
    EXPECT_STREQ(stamp, "7 Dec 2026 15:56:26");

    auto local = std::make_shared<VirtualClock>(kFirstOfMarch, 3600 * 14);  // UTC+14
    ScopedClock shifted(local);
    KorrLog log(path.c_str(), LOG_ERROR);
    log.Print(LOG_ERROR, "T", "x");
    EXPECT_EQ(ReadFile(path), "1 Mar 2027 23:05:07 - T: x\r\n");
}

TEST_F(LogTest, LevelFilterIsAtLeast) {
    struct Case {
        uint32_t logLevel, lineLevel;
        bool written;
    } cases[] = {
        {LOG_VERBOSE, LOG_TRACE, false}, {LOG_VERBOSE, LOG_VERBOSE, true},
        {LOG_ERROR, LOG_INFO, false},    {LOG_OFF, LOG_ERROR, false},
        {LOG_TRACE, LOG_TRACE, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path);
        KorrLog log(path.c_str(), c.logLevel);
        int n = log.Print(c.lineLevel, "T", "line");
        EXPECT_EQ(n > 0, c.written) << c.logLevel << " " << c.lineLevel;
        EXPECT_EQ(std::filesystem::exists(path), c.written);
    }
}

TEST_F(LogTest, ConstructorAndSetLevelAcceptOnlyTheFiveLevels) {
    EXPECT_EQ(KorrLog(path.c_str(), 7).Level(), LOG_ERROR);
    EXPECT_EQ(KorrLog(path.c_str(), 40).Level(), LOG_TRACE);
    KorrLog log(path.c_str(), LOG_INFO);
    EXPECT_FALSE(log.SetLevel(20));
    EXPECT_EQ(log.Level(), LOG_INFO);
    EXPECT_TRUE(log.SetLevel(LOG_OFF));
    EXPECT_EQ(log.Level(), LOG_OFF);
    EXPECT_FALSE(std::filesystem::exists(path)) << "constructing must not touch the file";
}

TEST_F(LogTest, NoPathMeansErrorTxtInWorkingDirectory) {
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    KorrLog log(nullptr, LOG_ERROR);
    EXPECT_EQ(log.Path(), "error.txt");
    log.Print(LOG_ERROR, "T", "here");
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "error.txt"));
    std::filesystem::current_path(previous);
}

TEST_F(LogTest, DeletedFileIsRecreatedWithOnlyTheNextLine) {
    KorrLog log(path.c_str(), LOG_ERROR);
    log.Print(LOG_ERROR, "T", "first");
    std::filesystem::remove(path);
    log.Print(LOG_ERROR, "T", "second %d", 2);
    EXPECT_EQ(ReadFile(path), "1 Mar 2027 9:05:07 - T: second 2\r\n");
}

TEST_F(LogTest, UnopenableFileDropsTheLine) {
    KorrLog log(dir.File("no/such/folder/log.txt").c_str(), LOG_ERROR);
    EXPECT_EQ(log.Print(LOG_ERROR, "T", "lost"), 0);
}

}  // namespace
