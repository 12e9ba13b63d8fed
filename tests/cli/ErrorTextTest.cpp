// The port failure lines every command shares: each names the port and its cause, and a port
// this user may not open names the group that owns it.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "cli/ErrorText.h"
#include "support/PtyPair.h"

namespace {

TEST(ErrorText, PortFailuresNameThePortAndTheCause) {
    const struct Case {
        int errnoCode;
        const char* text;
    } cases[] = {
        {.errnoCode = EBUSY, .text = "ttyUSB0 is already in use by another program"},
        {.errnoCode = EWOULDBLOCK, .text = "ttyUSB0 is already in use by another program"},
        {.errnoCode = ENOENT,
         .text = "ttyUSB0 isn't available (is the instrument's cable plugged in?)"},
        {.errnoCode = ENODEV,
         .text = "ttyUSB0 isn't available (is the instrument's cable plugged in?)"},
        {.errnoCode = ENXIO,
         .text = "ttyUSB0 isn't available (is the instrument's cable plugged in?)"},
        {.errnoCode = ENOTTY, .text = "ttyUSB0 is not a serial port"},
        {.errnoCode = EISDIR, .text = "ttyUSB0 is not a serial port"},
        {.errnoCode = EINVAL, .text = "ttyUSB0: Invalid argument"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(korrcli::PortErrorText("ttyUSB0", c.errnoCode), c.text) << c.errnoCode;
    }
}

TEST(ErrorText, NoPermissionNamesTheGroupThatOwnsThePort) {
    korrtest::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    struct stat node {};
    ASSERT_EQ(::stat(pty.NearPath().c_str(), &node), 0);
    const group* owner = ::getgrgid(node.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string name = owner->gr_name;
    const std::string text = korrcli::PortErrorText(pty.NearPath(), EACCES);
    if (name == "root") {
        EXPECT_EQ(text, "no permission to open " + pty.NearPath() +
                            ": ask the administrator for access to it");
    } else {
        EXPECT_EQ(text, "no permission to open " + pty.NearPath() +
                            ": the port belongs to the group \"" + name +
                            "\"; join it with \"sudo usermod -aG " + name +
                            " $USER\", then log out and in again");
    }
    EXPECT_EQ(korrcli::PortErrorText(pty.NearPath(), EPERM), text);
}

}  // namespace
