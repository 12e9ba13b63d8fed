// Opening TI-Text files: the image text they give, what makes them invalid, and that a failed
// load leaves the image alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TITextFixture.h"
#include "device/DeviceTypes.h"
#include "firmware/TIText.h"

using namespace korr;
using korrtest::kVectorSection;
using korrtest::SameImage;
using ::testing::HasSubstr;

namespace {

class TITextLoadTest : public korrtest::TITextFixture {};

TEST_F(TITextLoadTest, StandardFileSwapsBytePairsIntoWords) {
    ASSERT_EQ(Load("@1100\n11 22 33 44\n@FFE0\n"
                   "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"
                   "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F\nq\n"),
              1);
    EXPECT_EQ(host.image.text, "@0110022114433");
    EXPECT_EQ(host.image.length, 14u);
    for (uint32_t i = 0; i < kVectorCount; ++i) {
        EXPECT_EQ(host.image.vectors[i], (2 * i + 1) << 8 | 2 * i) << i;
    }
    EXPECT_STREQ(host.image.name, "QS7 3.61");
    EXPECT_EQ(host.image.type, kDeviceTypeQS7);
    EXPECT_EQ(host.image.version, 361);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLLoadTIFile loaded file " + path + " (0 ms)\r\n"));
}

TEST_F(TITextLoadTest, DataSectionsGiveImageText) {
    struct Case {
        const char* name;
        const char* data;  // the sections before the vector section
        const char* text;
    } cases[] = {
        {"blanks and line breaks anywhere, even inside a byte", "@1100\n1 12\n2 3\r\n34\t4 \n",
         "@0110022114433"},
        {"CR LF line ends", "@1100\r\n11 22\r\n33 44\r\n", "@0110022114433"},
        {"digits copied as they stand", "@1100\naa Bb\n", "@01100Bbaa"},
        {"three bytes end in a half word", "@2000\nAA BB CC\n", "@02000BBAAFFCC"},
        {"one digit left over", "@2000\nAA BB C\n", "@02000BBAAFFCF"},
        {"three digits left over", "@2000\nAA BB CC D\n", "@02000BBAADFCC"},
        {"loader area skipped, 0xFE00 loaded",
         "@FA00\n11 22\n@FC00\n11 22\n@FDFE\n11 22\n@FE00\n33 44\n", "@0FE004433"},
        {"20-bit address", "@10000\n11 22\n", "@100002211"},
        {"leading zeros and the rest of the address line", "@0001100 ; start\n11 22\n",
         "@011002211"},
        {"sections kept in file order", "@3000\n11 22\n@1100\n33 44\n", "@030002211@011004433"},
        {"a section without data", "@1100\n@2000\n11 22\n", "@01100@020002211"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(std::string(c.data) + kVectorSection + "q\n"), 1) << c.name;
        EXPECT_EQ(host.image.text, c.text) << c.name;
        EXPECT_EQ(host.image.length, std::string(c.text).size()) << c.name;
    }
}

TEST_F(TITextLoadTest, EverythingFromTheFirstQOnIsIgnored) {
    ASSERT_EQ(Load(std::string("@1100\n11 22\n") + kVectorSection + "q\n@2000\n33 44\nq\n"), 1);
    EXPECT_EQ(host.image.text, "@011002211");
}

TEST_F(TITextLoadTest, VectorSectionsFillTheirOwnEntries) {
    ASSERT_EQ(Load("@1100\n11 22\n@FFFC\n34 12 00 11\nq\n"), 1);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(host.image.vectors[i], kUnsetVector) << i;
    EXPECT_EQ(host.image.vectors[14], 0x1234u);
    EXPECT_EQ(host.image.vectors[15], 0x1100u);

    ASSERT_EQ(Load("@1100\n11 22\n@FFE0\nCD AB\n@FFE2\nBA DC\nq\n"), 1);
    EXPECT_EQ(host.image.vectors[0], 0xABCDu);
    EXPECT_EQ(host.image.vectors[1], 0xDCBAu);
    EXPECT_EQ(host.image.vectors[15], kUnsetVector);
}

TEST_F(TITextLoadTest, InvalidFilesAreRefusedAndLeaveTheImageAlone) {
    struct Case {
        const char* name;
        std::string contents;
        bool logged;        // "not a valid TI-Text file" in the log
        uint32_t stopLine;  // where reading stopped, as the user is told
    } cases[] = {
        {"blank line before the first '@'",
         std::string("\n@1100\n11 22\n") + kVectorSection + "q\n", false, 1},
        {"no 'q'", std::string("@1100\n11 22\n") + kVectorSection, false, 5},
        {"empty file", "", false, 1},
        {"a NUL before the 'q'", std::string("@1100\n11 22\n\0", 13) + kVectorSection + "q\n",
         false, 3},
        {"no vector section", "@1100\n11 22\nq\n", true, 3},
        {"vector section ends inside a word", "@1100\n11 22\n@FFE0\n00 11 22\nq\n", true, 3},
        {"vector section runs past 0xFFFE", "@1100\n11 22\n@FFFC\n00 11 22 33 44 55\nq\n", true, 3},
        {"address needs six digits", std::string("@100000\n11 22\n") + kVectorSection + "q\n", true,
         1},
        {"no address", std::string("@\n11 22\n") + kVectorSection + "q\n", true, 1},
        {"address not hex", std::string("@x1100\n11 22\n") + kVectorSection + "q\n", true, 1},
        {"no line feed after the address", "@1100 11 22 @FFE0\n00 11\nq", true, 1},
        {"odd start address", std::string("@1101\n11 22\n") + kVectorSection + "q\n", true, 1},
        {"odd vector address", "@1100\n11 22\n@FFFD\n00 11\nq\n", true, 3},
        {"second section bad", std::string("@1100\n11 22\n@1201\n33\n") + kVectorSection + "q\n",
         true, 3},
    };
    for (const Case& c : cases) {
        const FirmwareImage before = host.image;
        std::filesystem::remove(logPath);
        EXPECT_EQ(Load(c.contents), -100) << c.name;
        EXPECT_TRUE(SameImage(host.image, before)) << c.name;
        EXPECT_EQ(korr::TITextStopLine(c.contents), c.stopLine) << c.name;
        if (c.logged) {
            EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLLoadTIFile: file " + path +
                                         " is not a valid TI-Text file (0 ms)\r\n"))
                << c.name;
        } else {
            EXPECT_EQ(Log(), "") << c.name;
        }
    }
}

TEST_F(TITextLoadTest, UnreadableFilesReportTheSystemError) {
    const FirmwareImage before = host.image;
    const std::string missing = dir.File("missing.txt");
    EXPECT_EQ(host.BSLLoadTIFile(missing.c_str()), -ENOENT);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLLoadTIFile got error 2 trying to open datafile " +
                                 missing + "\r\n"));

    // A folder opens but cannot be read.
    const std::string folder = dir.Path().string();
    EXPECT_EQ(host.BSLLoadTIFile(folder.c_str()), -EISDIR);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLLoadTIFile failed with error -21 (0 ms)\r\n"));
    EXPECT_TRUE(SameImage(host.image, before));
}

TEST_F(TITextLoadTest, ALoadedFileReplacesTheWholeImage) {
    ASSERT_EQ(Load(std::string("@1100\n11 22\n") + kVectorSection + "q\n", "Custom.txt"), 1);
    EXPECT_STREQ(host.image.name, "Custom");
    EXPECT_EQ(host.image.type, 0);
    EXPECT_EQ(host.image.version, 0);
    EXPECT_EQ(host.image.text, "@011002211");
    EXPECT_EQ(host.image.vectors[15], 0x1100u);
    EXPECT_EQ(host.image.vectors[0], kUnsetVector);
}

}  // namespace
