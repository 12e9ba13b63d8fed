// korrbsl ports, the real executable on this machine: it lists what the system reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "serial/CommPortEnum.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

// The log goes to a data folder of the test's own.
korrtest::SpawnResult RunKorrbsl(const std::vector<std::string>& args) {
    static korrtest::TempDir data;
    return korrtest::Spawn(KORRBSL_PATH, args, {"XDG_DATA_HOME=" + data.Path().string()});
}

TEST(PortsCommand, ListsThePortsOneALineOrSaysThereAreNone) {
    korrtest::SpawnResult o = RunKorrbsl({"ports"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");

    korr::KorrSerial enumerator;
    korr::CommPortInfo ports[korr::kCommPortListSize];
    int32_t count = korr::kCommPortListSize;
    ASSERT_GE(korr::CommPortEnum(enumerator, ports, &count, false), 0);
    if (count == 0) {
        EXPECT_EQ(o.out, "No Comm Ports Found\n");
        return;
    }
    // A header, then each line: the name, then the description, which starts with the name.
    std::istringstream lines(o.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind("PORT ", 0), 0u) << line;
    EXPECT_NE(line.find("  DESCRIPTION"), std::string::npos) << line;
    std::vector<std::string> names;
    while (std::getline(lines, line)) {
        std::string name = line.substr(0, line.find(' '));
        std::string description = line.substr(line.find_first_not_of(' ', name.size()));
        EXPECT_EQ(description.rfind(name + " ", 0), 0u) << line;
        names.push_back(name);
    }
    std::vector<std::string> expected;
    for (int32_t i = 0; i < count; ++i) expected.emplace_back(ports[i].name);
    EXPECT_EQ(names, expected);
}

TEST(PortsCommand, UsageErrorsExitWithTwo) {
    for (const char* option : {"--bogus", "extra"}) {
        korrtest::SpawnResult o = RunKorrbsl({"ports", option});
        EXPECT_EQ(o.status, 2) << option;
        EXPECT_EQ(o.out, "") << option;
        EXPECT_NE(o.err, "") << option;
    }
    korrtest::SpawnResult help = RunKorrbsl({"ports", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--all"), std::string::npos);
}

}  // namespace
