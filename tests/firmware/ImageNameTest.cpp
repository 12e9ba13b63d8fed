// Name, device type and version of an image from its file's name.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "firmware/ImageName.h"

using namespace korr;

namespace {

TEST(ImageName, FromPath) {
    struct Case {
        std::string path;
        const char* name;
        int type;
        int32_t version;
    } cases[] = {
        {"QS7 3-60.txt", "QS7 3.60", 12, 360},
        {"/home/tech/firmware/QS7 3-60.txt", "QS7 3.60", 12, 360},
        {"C:\\Firmware\\QS7 3-60.txt", "QS7 3.60", 12, 360},
        {"mixed\\folders/QS7 3-60.txt", "QS7 3.60", 12, 360},
        {"qs7 3-61.txt", "qs7 3.61", 12, 361},
        {"QE8_2-10.txt", "QE8_2.10", 15, 10},  // the version starts at a blank or '-' only
        {"QS7 3-60.TXT", "QS7 3.60.TXT", 12, 360},
        {"QS7 3-60.txt.bak", "QS7 3.60", 12, 360},
        {"QS7.txt", "QS7", 12, 0},
        {"QS77 3-60.txt", "QS77 3.60", 0, 360},
        {"Board a-b.txt", "Board a-b", 0, 0},
        {"MORVA-XE 1-00.txt", "MORVA-XE 1-00", 0, 100},  // only the first '-' counts
        {"QS7 1-2345678901234.txt", "QS7 1.2345678901234", 12, INT_MAX},
        {"firmware/", "", 0, 0},
        {std::string(70, 'A') + ".txt", nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        const ImageIdentity id = IdentityFromPath(c.path.c_str());
        const std::string name = c.name != nullptr ? c.name : std::string(64, 'A');
        EXPECT_EQ(id.name, name) << c.path;
        EXPECT_EQ(id.type, c.type) << c.path;
        EXPECT_EQ(id.version, c.version) << c.path;
    }
}

}  // namespace
