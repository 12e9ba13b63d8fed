// The settings file's key lookups.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "instrument/Korr_protocol.h"

namespace {

TEST(InfoFileLookup, KeyCountsOnlyAtALineStartFollowedByEquals) {
    // A logger named "Plateau" or "Basnet" carries "lat" and "sn" inside its name line.
    const char* file =
        "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n"
        "name=\"Plateau\"\r\n"
        "site=\"Basnet \"42\" hill\"\r\n"
        "snow=\"deep\"\r\n"
        "sn=\"A-17\"\r\n"
        "lat=\"+47.12345\"\r\n";
    char text[32] = "x";
    EXPECT_TRUE(korr::GetFileString(file, "sn", text, sizeof text));
    EXPECT_STREQ(text, "A-17");
    double lat = 0;
    EXPECT_TRUE(korr::GetFileDouble(file, "lat", &lat));
    EXPECT_DOUBLE_EQ(lat, 47.12345);
    EXPECT_TRUE(korr::GetFileString(file, "site", text, sizeof text));
    EXPECT_STREQ(text, "Basnet \"42\" hill");
    EXPECT_FALSE(korr::GetFileString(file, "s", text, sizeof text));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(korr::GetFileString(file, "", text, sizeof text));
}

TEST(InfoFileLookup, TheFirstLineWithTheKeyDecides) {
    const char* file = "sn=\"first\"\r\nsn=\"second\"\r\n";
    char text[16];
    EXPECT_TRUE(korr::GetFileString(file, "sn", text, sizeof text));
    EXPECT_STREQ(text, "first");
}

TEST(InfoFileLookup, ValueRunsToTheLastQuoteOfItsLine) {
    struct Case {
        const char* file;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"site=\"a \"b\" c\"\r\nname=\"n\"\r\n", true, "a \"b\" c"},
        {"site=\"ends with quote\"\"\r\n", true, "ends with quote\""},
        {"site=\"no closing quote\r\nname=\"n\"\r\n", true, "no closing quote"},
        {"site=\"lf only\"\nname=\"n\"\n", true, "lf only"},
        {"site=\"at the end\"", true, "at the end"},
        {"site=no quote\r\nname=\"n\"\r\n", false, ""},
        {"site=\"\"\r\n", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        char text[32] = "x";
        EXPECT_EQ(korr::GetFileString(c.file, "site", text, sizeof text), c.found) << c.file;
        EXPECT_STREQ(text, c.value) << c.file;
    }
}

TEST(InfoFileLookup, StringIsCutToItsCapacity) {
    char text[4];
    EXPECT_TRUE(korr::GetFileString("k=\"abcdef\"", "k", text, sizeof text));
    EXPECT_STREQ(text, "abc");
}

TEST(InfoFileLookup, PortNumberKeysMatchAtALineStart) {
    const char* file =
        "name=\"Port number=\\\"1\\\" value\"\r\n"
        "Port number=\"1\" value=\"7\"\r\n"
        "Port number=\"2\" value=\"300\"\r\n";
    int32_t v = -1;
    EXPECT_TRUE(korr::GetFileLong(file, "Port number=\"1\" value", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(korr::GetFileLong(file, "Port number=\"2\" value", &v));
    EXPECT_EQ(v, 300);
    EXPECT_FALSE(korr::GetFileLong(file, "Port number=\"3\" value", &v));
    EXPECT_EQ(v, 300);
}

TEST(InfoFileLookup, NumbersTakeBlanksAndSignsAndClamp) {
    struct Case {
        const char* file;
        int32_t value;
    };
    const Case cases[] = {
        {"n=\"  -42\"", -42},
        {"n=\"+17x\"", 17},
        {"n=\"99999999999\"", INT32_MAX},
        {"n=\"-99999999999\"", INT32_MIN},
        {"n=\"-2147483648\"", INT32_MIN},
        {"n=\"\"", 0},
        {"n=\"abc\"", 0},
    };
    for (const Case& c : cases) {
        int32_t v = 5;
        EXPECT_TRUE(korr::GetFileLong(c.file, "n", &v)) << c.file;
        EXPECT_EQ(v, c.value) << c.file;
    }
    int32_t unchanged = 5;
    EXPECT_FALSE(korr::GetFileLong("m=\"1\"", "n", &unchanged));
    EXPECT_EQ(unchanged, 5);
    double d = 2.5;
    EXPECT_FALSE(korr::GetFileDouble("m=\"1\"", "n", &d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(korr::GetFileDouble("n=\" -12.50000\"", "n", &d));
    EXPECT_EQ(d, -12.5);
}

}  // namespace
