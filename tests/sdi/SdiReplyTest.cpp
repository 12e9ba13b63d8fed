// Reading the fields of SDI-12 answers, whatever their length.
#include <gtest/gtest.h>

#include <string>

#include "sdi/KorrSDI12.h"
#include "sdi/SdiReply.h"

namespace {

TEST(SdiReply, FieldsOfShortAndOddReplies) {
    struct Case {
        const char* reply;
        const char* identification;
        uint32_t version;
        int32_t valueResult;
        const char* value;
        char type;
    };
    const Case cases[] = {
        {"", "", 0, -30, "", 0},
        {"0", "", 0, -30, "", 0},
        {"0\r\n", "", 0, 0, "", 0},
        {"01", "", 0, -30, "", '1'},
        {"013", "", 0, -30, "", '1'},
        {"0 y\r\n", "", 0, 1, "y", 'y'},
        {"0y\r\n", "\n", 0, 1, "y", 'y'},
        {"0  x\r\n", "x", 0, 2, " x", 0},
        {"013KORRIN  MV-XE 123\r\n", "KORRIN  MV-XE 123", 123, 19, "13KORRIN  MV-XE 123", '1'},
        {"013KORRIN  MV-XE 1\r23\r\n", "KORRIN  MV-XE 1", 1, 17, "13KORRIN  MV-XE 1", '1'},
    };
    for (const Case& c : cases) {
        char identification[korr::kSDIIdentificationCapacity];
        korr::SDIIdentificationText(c.reply, identification, sizeof identification);
        EXPECT_STREQ(identification, c.identification) << c.reply;
        EXPECT_EQ(korr::SDIFirmwareVersion(c.reply), c.version) << c.reply;
        char value[korr::kSDICalibrationCapacity];
        EXPECT_EQ(korr::SDIValueText(c.reply, value, sizeof value), c.valueResult) << c.reply;
        EXPECT_STREQ(value, c.value) << c.reply;
        EXPECT_EQ(korr::SDISensorTypeOf(c.reply), static_cast<uint8_t>(c.type)) << c.reply;
    }
}

}  // namespace
