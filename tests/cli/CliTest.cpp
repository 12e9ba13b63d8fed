// korrbsl as a user runs it.
#include <gtest/gtest.h>

#include "support/RunProcess.h"

namespace {

const std::string kKorrbsl = KORRBSL_PATH;

TEST(Cli, HelpAndVersionExitZero) {
    auto help = korrtest::RunProcess(kKorrbsl + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage:"), std::string::npos);
    auto version = korrtest::RunProcess(kKorrbsl + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("korrbsl ", 0), 0u) << version.output;
}

TEST(Cli, UsageErrorsExitTwoWithOneLine) {
    for (const char* args : {" --no-such-option", " no-such-command"}) {
        auto r = korrtest::RunProcess(kKorrbsl + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << "one line: " << r.output;
        EXPECT_EQ(r.output.rfind("korrbsl: ", 0), 0u) << r.output;
    }
}

}  // namespace
