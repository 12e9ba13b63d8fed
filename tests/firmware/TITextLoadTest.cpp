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
        {"blanks and line breaks between bytes", "@1100\n11\t22\n\n 33\r\n44 \n", "@0110022114433"},
        {"CR LF line ends", "@1100\r\n11 22\r\n33 44\r\n", "@0110022114433"},
        {"digits copied as they stand", "@1100\naa Bb\n", "@01100Bbaa"},
        {"three bytes end in a half word", "@2000\nAA BB CC\n", "@02000BBAAFFCC"},
        {"loader area skipped, 0xFE00 loaded",
         "@FA00\n11 22\n@FC00\n11 22\n@FDFE\n11 22\n@FE00\n33 44\n", "@0FE004433"},
        {"20-bit address", "@10000\n11 22\n", "@100002211"},
        {"leading zeros and blanks after the address", "@0001100 \t\n11 22\n", "@011002211"},
        {"sections that meet without overlapping", "@1100\n11 22\n@1102\n33 44\n",
         "@011002211@011024433"},
        {"sections kept in file order", "@3000\n11 22\n@1100\n33 44\n", "@030002211@011004433"},
        {"a section without data", "@1100\n@2000\n11 22\n", "@01100@020002211"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(std::string(c.data) + kVectorSection + "q\n"), 1) << c.name;
        EXPECT_EQ(host.image.text, c.text) << c.name;
        EXPECT_EQ(host.image.length, std::string(c.text).size()) << c.name;
    }
}

TEST_F(TITextLoadTest, OnlyBlankSpaceMayFollowTheQ) {
    ASSERT_EQ(Load(std::string("@1100\n11 22\n") + kVectorSection + "q \r\n\n"), 1);
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
    using F = TITextFault;
    const std::string data = "@1100\n11 22 33 44\n";
    struct Case {
        const char* name;
        std::string contents;
        TITextFault fault;
        uint32_t stopLine;  // where reading stopped, as the user is told
        const char* token;  // what was found there
    } cases[] = {
        // The first look: quietly refused, nothing logged.
        {"blank line before the first '@'", "\n" + data + kVectorSection + "q\n", F::NotTIText, 1,
         ""},
        {"no 'q'", data + kVectorSection, F::NotTIText, 5, ""},
        {"empty file", "", F::NotTIText, 1, ""},
        {"a NUL before the 'q'", std::string("@1100\n11 22\n\0", 13) + kVectorSection + "q\n",
         F::NotTIText, 3, ""},
        // A byte that cannot be read would shift every later byte of its section.
        {"a byte replaced by ZZ", "@1100\n11 ZZ 33 44\n" + std::string(kVectorSection) + "q\n",
         F::BadToken, 2, "ZZ"},
        {"a digit lost", "@1100\n11 2 33 44\n" + std::string(kVectorSection) + "q\n", F::BadToken,
         2, "2"},
        {"two bytes run together", "@1100\n11 2233 44\n" + std::string(kVectorSection) + "q\n",
         F::BadToken, 2, "2233"},
        {"a byte split by a blank", "@1100\n1 12 2\n" + std::string(kVectorSection) + "q\n",
         F::BadToken, 2, "1"},
        {"a bad vector byte", "@1100\n11 22\n@FFFE\n00 1G\nq\n", F::BadToken, 4, "1G"},
        {"a 'q' inside a token", data + "@FFFE\n00 11q\n", F::BadToken, 4, "11q"},
        // Address lines are '@' and hex digits, nothing else.
        {"letter O in the address", "@11O0\n11 22\n" + std::string(kVectorSection) + "q\n",
         F::BadAddress, 1, "@11O0"},
        {"a comment after the address",
         "@1100 ; start\n11 22\n" + std::string(kVectorSection) + "q\n", F::BadAddress, 1, ";"},
        {"a blank after the '@'", "@ 1100\n11 22\n" + std::string(kVectorSection) + "q\n",
         F::BadAddress, 1, "@"},
        {"no address", "@\n11 22\n" + std::string(kVectorSection) + "q\n", F::BadAddress, 1, "@"},
        {"address not hex", "@x1100\n11 22\n" + std::string(kVectorSection) + "q\n", F::BadAddress,
         1, "@x1100"},
        {"address needs six digits", "@100000\n11 22\n" + std::string(kVectorSection) + "q\n",
         F::AddressTooHigh, 1, "@100000"},
        {"data past 0xFFFFF", "@FFFFE\n11 22 33\n" + std::string(kVectorSection) + "q\n",
         F::AddressTooHigh, 2, "33"},
        {"no line feed after the address", "@1100 11 22 @FFE0\n00 11\nq", F::BadAddress, 1, "11"},
        {"odd start address", "@1101\n11 22\n" + std::string(kVectorSection) + "q\n", F::OddAddress,
         1, "@1101"},
        {"odd vector address", "@1100\n11 22\n@FFFD\n00 11\nq\n", F::OddAddress, 3, "@FFFD"},
        // Every byte is given once.
        {"a section over earlier data", data + "@1102\n55\n" + kVectorSection + "q\n", F::Overlap,
         4, "55"},
        {"a section running into later-given data", "@1102\n55\n" + data + kVectorSection + "q\n",
         F::Overlap, 4, "33"},
        {"vectors given twice", data + kVectorSection + "@FFFE\n00 11\nq\n", F::Overlap, 7, "00"},
        // The vectors, and the end.
        {"no vector section", "@1100\n11 22\nq\n", F::NoVectors, 3, "q"},
        {"vector section ends inside a word", "@1100\n11 22\n@FFE0\n00 11 22\nq\n",
         F::VectorsCutShort, 4, ""},
        {"vector section runs past 0xFFFE", "@1100\n11 22\n@FFFC\n00 11 22 33 44 55\nq\n",
         F::VectorsPastEnd, 4, "44"},
        {"data after the 'q'", data + kVectorSection + "q\n@2000\n33 44\nq\n", F::AfterEnd, 7,
         "@2000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FirmwareImage before = host.image;
        std::filesystem::remove(logPath);
        TITextStop stop;
        path = dir.File("QS7 3-61.txt");
        korrtest::WriteFile(path, c.contents);
        EXPECT_EQ(host.BSLLoadTIFile(path.c_str(), &stop), -100);
        EXPECT_TRUE(SameImage(host.image, before));
        EXPECT_EQ(stop.fault, c.fault);
        EXPECT_EQ(stop.line, c.stopLine);
        EXPECT_EQ(stop.token, c.token);
        EXPECT_EQ(korr::TITextStopLine(c.contents), c.stopLine);
        if (c.fault != F::NotTIText) {
            EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLLoadTIFile: file " + path +
                                         " is not a valid TI-Text file (0 ms)\r\n"));
            EXPECT_THAT(Log(), HasSubstr("BSLLoadTIFile stopped reading at line " +
                                         std::to_string(c.stopLine) + "\r\n"));
        } else {
            EXPECT_EQ(Log(), "");
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
