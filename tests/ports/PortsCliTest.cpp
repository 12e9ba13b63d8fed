// korrbsl ports, the real executable on this machine: it lists what the system reports.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "serial/CommPortEnum.h"
#include "support/TempDir.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RunKorrbsl(const std::string& args) {
    korrtest::TempDir dir;
    std::string command = std::string("'") + KORRBSL_PATH + "' " + args + " >'" +
                          dir.File("out") + "' 2>'" + dir.File("err") + "'";
    int rc = std::system(command.c_str());
    Outcome o;
    o.status = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
    o.out = korrtest::ReadFile(dir.File("out"));
    o.err = korrtest::ReadFile(dir.File("err"));
    return o;
}

TEST(PortsCommand, ListsThePortsOneALineOrSaysThereAreNone) {
    Outcome o = RunKorrbsl("ports");
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
    // Each line: the name, then the description, which starts with the name as well.
    std::istringstream lines(o.out);
    std::string line;
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
    for (const char* args : {"ports --bogus", "ports extra"}) {
        Outcome o = RunKorrbsl(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_NE(o.err, "") << args;
    }
    Outcome help = RunKorrbsl("ports --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--all"), std::string::npos);
}

}  // namespace
