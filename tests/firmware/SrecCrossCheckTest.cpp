// An independent check of the TI-Text reader and the standard writer: the bytes an image holds
// are the bytes srec_cat (package srecord) reads from the same file.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "core/Random.h"
#include "firmware/ImageSegments.h"
#include "support/Spawn.h"

using namespace korr;

namespace {

using Bytes = std::map<uint32_t, uint8_t>;

// What srec_cat reads from a TI-Text file, written back out in its own TI-Text.
Bytes SrecBytes(const std::string& file, const korrtest::TempDir& dir) {
    const std::string out = dir.File("srec.txt");
    const korrtest::SpawnResult run =
        korrtest::Spawn(KORR_SREC_CAT, {file, "-ti-txt", "-o", out, "-ti-txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    Bytes bytes;
    std::istringstream in(korrtest::ReadFile(out));
    uint32_t address = 0;
    for (std::string token; in >> token && token != "q";) {
        if (token[0] == '@') {
            address = static_cast<uint32_t>(std::stoul(token.substr(1), nullptr, 16));
        } else {
            bytes[address++] = static_cast<uint8_t>(std::stoul(token, nullptr, 16));
        }
    }
    return bytes;
}

// The bytes of the image text and of the vector table.
Bytes ImageBytes(const FirmwareImage& image) {
    Bytes bytes;
    std::vector<ImageSegment> segments;
    EXPECT_EQ(ListImageSegments(image.text, segments), 1);
    for (const ImageSegment& s : segments) {
        for (uint32_t i = 0; i < s.Bytes(); ++i)
            bytes[s.address + i] = SegmentByte(image.text, s, i);
    }
    for (uint32_t i = 0; i < kVectorCount; ++i) {
        bytes[kVectorBase + 2 * i] = static_cast<uint8_t>(image.vectors[i] & 0xFF);
        bytes[kVectorBase + 2 * i + 1] = static_cast<uint8_t>(image.vectors[i] >> 8);
    }
    return bytes;
}

// Every byte srec_cat reads is in the image; the image adds only 0xFF: the completion of
// sections that end inside a word, and vectors the file leaves unset.
void ExpectSameBytes(const Bytes& srec, const Bytes& image, const std::string& what) {
    for (const auto& [address, byte] : srec) {
        auto it = image.find(address);
        ASSERT_NE(it, image.end()) << what << ": missing byte at " << std::hex << address;
        ASSERT_EQ(it->second, byte) << what << ": byte at " << std::hex << address;
    }
    for (const auto& [address, byte] : image) {
        if (srec.count(address) == 0) {
            ASSERT_EQ(byte, 0xFF) << what << ": extra byte at " << std::hex << address;
        }
    }
}

uint32_t Below(korrsim::Random& random, size_t n) {
    return static_cast<uint32_t>(random.Next() % n);
}

// A TI-Text file with several sections, odd lengths, both cases of digits and whitespace in
// odd places (between bytes: srec_cat reads a byte only as two adjacent digits).
std::string RandomTIText(korrsim::Random& random) {
    static const char* const kGaps[] = {" ",    "  ",   "\t",  " \t ", "\n",
                                        "\r\n", "\n\n", " \n", "\n  "};
    static const uint32_t kSlots[] = {0x1100, 0x2000, 0x4000,  0x8000,
                                      0xC000, 0xFE00, 0x10000, 0x1A000};
    std::string file;
    auto hex = [&](uint32_t value, int digits) {
        char text[16];
        std::snprintf(text, sizeof text, Below(random, 2) ? "%0*X" : "%0*x", digits, value);
        file += text;
    };
    auto bytes = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            if (i > 0 || Below(random, 4) == 0) file += kGaps[Below(random, std::size(kGaps))];
            hex(Below(random, 256), 2);
        }
        file += Below(random, 2) ? "\n" : " \r\n";
    };
    for (uint32_t slot : kSlots) {
        if (Below(random, 2) == 0) continue;
        file += '@';
        hex(slot, slot > 0xFFFF ? 5 : 4);
        file += Below(random, 3) == 0 ? "  \n" : "\n";
        bytes(1 + Below(random, 300));
    }
    const uint32_t first = Below(random, kVectorCount);
    file += '@';
    hex(kVectorBase + 2 * first, 4);
    file += '\n';
    bytes(2 * (1 + Below(random, kVectorCount - first)));
    return file + "q\n";
}

class SrecCrossCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string(KORR_SREC_CAT).empty()) GTEST_SKIP() << "srec_cat is not installed";
    }

    // Reads `file` with both readers, then checks that the standard TI-Text written from the
    // image reads back in srec_cat as exactly the image's bytes.
    void CrossCheck(const std::string& file, const std::string& what) {
        ASSERT_EQ(host.BSLLoadTIFile(file.c_str()), 1) << what;
        const Bytes image = ImageBytes(host.image);
        ExpectSameBytes(SrecBytes(file, dir), image, what);
        const std::string exported = dir.File("exported.txt");
        ASSERT_EQ(host.BSLWriteStandardTIFile(exported.c_str()), 1);
        EXPECT_EQ(SrecBytes(exported, dir), image) << what << " exported";
    }

    korrtest::TempDir dir;
    KorrBSLHost host{nullptr};
};

TEST_F(SrecCrossCheck, ImagesOfTheFirmwareFolder) {
    for (const char* name : {"QS7 3-60.txt", "QE8 2-10.txt"}) {
        CrossCheck(std::string(KORR_FIRMWARE_DIR) + "/" + name, name);
    }
}

TEST_F(SrecCrossCheck, GeneratedFiles) {
    korrsim::Random random(20270301);
    for (int i = 0; i < 24; ++i) {
        const std::string file = dir.File("generated.txt");
        const std::string contents = RandomTIText(random);
        korrtest::WriteFile(file, contents);
        CrossCheck(file, "generated file " + std::to_string(i) + ":\n" + contents);
    }
}

}  // namespace
