// Saving the image: the dump in the image text's own word order, and standard TI-Text that
// reads back as the same bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "TITextFixture.h"
#include "firmware/TIText.h"

using namespace korr;
using korrtest::kVectorSection;
using korrtest::ReadFile;
using ::testing::HasSubstr;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class TITextWriteTest : public korrtest::TITextFixture {
  protected:
    std::string out = dir.File("out.txt");

    void UseSmallImage() {
        ASSERT_EQ(
            Load(std::string("@1100\n11 22 33 44\n@2000\nAA BB CC\n") + kVectorSection + "q\n"), 1);
    }
};

TEST_F(TITextWriteTest, DumpOfTheBuiltInImage) {
    ASSERT_EQ(host.BSLWriteTIFile(out.c_str()), 1);
    const std::string dump = ReadFile(out);
    const std::vector<std::string> lines = Lines(dump);
    ASSERT_EQ(lines.size(), 1u + 1871 + 1 + 1 + 2);
    EXPECT_EQ(lines[0], "@01100");
    std::string digits;
    for (size_t i = 1; i <= 1871; ++i) {
        ASSERT_EQ(lines[i].size(), 32u) << i;
        digits += lines[i];
    }
    EXPECT_EQ(lines[1872].size(), 24u);
    digits += lines[1872];
    EXPECT_EQ("@01100" + digits, host.image.text) << "the image text's word order";
    EXPECT_EQ(lines[1873], "@FFE0");
    EXPECT_EQ(lines[1874], "FFFFFFFFFFFFFFFF1340FFFFFFFFFFFF");
    EXPECT_EQ(lines[1875], "FFFF1400FFFFFFFFFFFFFFFFFFFF1100");
    EXPECT_EQ(dump.back(), '\n');
    EXPECT_EQ(dump.find('q'), std::string::npos);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLWriteTIFile wrote file " + out + " (0 ms)\r\n"));
}

TEST_F(TITextWriteTest, DumpRunsSegmentsOnAsTheyEnd) {
    UseSmallImage();
    ASSERT_EQ(host.BSLWriteTIFile(out.c_str()), 1);
    EXPECT_EQ(ReadFile(out),
              "@01100\n22114433@02000\nBBAAFFCC\n@FFE0\n"
              "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\nFFFFFFFFFFFFFFFFFFFFFFFFFFFF1100\n");
}

TEST_F(TITextWriteTest, StandardTITextOfASmallImage) {
    UseSmallImage();
    ASSERT_EQ(host.BSLWriteStandardTIFile(out.c_str()), 1);
    EXPECT_EQ(ReadFile(out),
              "@1100\n11 22 33 44\n@2000\nAA BB CC FF\n@FFE0\n"
              "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"
              "FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 11\nq\n");
    EXPECT_THAT(Log(),
                HasSubstr("KorrBSL: BSLWriteStandardTIFile wrote file " + out + " (0 ms)\r\n"));
}

TEST_F(TITextWriteTest, StandardTITextReadsBackAsTheSameImage) {
    const std::string images[] = {"", std::string(KORR_FIRMWARE_DIR) + "/QE8 2-10.txt"};
    for (const std::string& source : images) {
        if (!source.empty()) {
            ASSERT_EQ(host.BSLLoadTIFile(source.c_str()), 1);
        }
        const FirmwareImage original = host.image;
        ASSERT_EQ(host.BSLWriteStandardTIFile(out.c_str()), 1) << source;
        ASSERT_EQ(host.BSLLoadTIFile(out.c_str()), 1) << source;
        EXPECT_EQ(host.image.text, original.text) << source;
        EXPECT_TRUE(std::equal(std::begin(original.vectors), std::end(original.vectors),
                               std::begin(host.image.vectors)))
            << source;
    }
}

TEST_F(TITextWriteTest, FailuresToWriteAreReported) {
    const std::string nowhere = dir.File("no/such/folder/out.txt");
    EXPECT_EQ(host.BSLWriteTIFile(nowhere.c_str()), -ENOENT);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLWriteTIFile got error 2 trying to open datafile " +
                                 nowhere + "\r\n"));
    // A full disk shows only when the data are flushed: the save must not look successful.
    EXPECT_EQ(host.BSLWriteTIFile("/dev/full"), -ENOSPC);
    EXPECT_EQ(host.BSLWriteStandardTIFile("/dev/full"), -ENOSPC);
    EXPECT_THAT(Log(), HasSubstr("KorrBSL: BSLWriteTIFile failed with error -28 (0 ms)\r\n"));
}

TEST_F(TITextWriteTest, StandardTITextRefusesADamagedImageText) {
    const std::string damaged[] = {"01100ABCD", "@0110ABCD", "@01100ABC", "@01100AB?D",
                                   std::string("@01100AB\0D", 10)};
    for (const std::string& text : damaged) {
        host.image.text = text;
        host.image.length = static_cast<uint32_t>(text.size());
        std::string formatted;
        EXPECT_EQ(FormatStandardTIText(host.image, formatted), -101) << text;
    }
}

}  // namespace
