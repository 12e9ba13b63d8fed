// The built-in image: copied into the engine when it is made, and checked for length and sum.
#include <gtest/gtest.h>

#include <string>

#include "bsl/KorrBSLHost.h"
#include "firmware/BuiltinImage.h"

using namespace korr;

namespace {

TEST(BuiltinImage, IntactBuild) {
    KorrBSLHost host(nullptr);
    EXPECT_EQ(host.image.status, 0);
    EXPECT_EQ(host.image.length, 59902u);
    EXPECT_EQ(host.image.text.size(), 59902u);
    EXPECT_EQ(host.image.type, 12);
    EXPECT_STREQ(host.image.name, "QS7 3.60");
    EXPECT_EQ(host.image.version, 0) << "the application holds the built-in version";
    EXPECT_EQ(kBuiltinImage.version, 360);
    EXPECT_EQ(kBuiltinImage.sum, 3255391);
    EXPECT_EQ(host.image.text.compare(0, 6, "@01100"), 0);
    EXPECT_EQ(host.image.vectors[15], 0x1100u);
}

TEST(BuiltinImage, IsTheImageOfItsTIFile) {
    KorrBSLHost builtIn(nullptr);
    KorrBSLHost loaded(nullptr);
    ASSERT_EQ(loaded.BSLLoadTIFile(KORR_FIRMWARE_DIR "/QS7 3-60.txt"), 1);
    EXPECT_EQ(builtIn.image.text, loaded.image.text);
    EXPECT_TRUE(std::equal(std::begin(builtIn.image.vectors), std::end(builtIn.image.vectors),
                           std::begin(loaded.image.vectors)));
    EXPECT_STREQ(builtIn.image.name, loaded.image.name);
    EXPECT_EQ(kBuiltinImage.version, loaded.image.version);
}

// The first decimal digit at or after `from` that lies in [low, high].
size_t DigitAt(const std::string& text, size_t from, char low, char high) {
    while (text[from] < low || text[from] > high) ++from;
    return from;
}

TEST(BuiltinImage, LengthAndSumCheck) {
    struct Case {
        const char* name;
        void (*damage)(std::string& text);
        int32_t status;
    } cases[] = {
        {"intact copy", [](std::string&) {}, 0},
        {"one digit changed", [](std::string& t) { ++t[DigitAt(t, 100, '0', '8')]; }, -101},
        {"two changes that cancel in the sum (not detected)",
         [](std::string& t) {
             ++t[DigitAt(t, 100, '0', '8')];
             --t[DigitAt(t, 200, '1', '9')];
         },
         0},
        {"a NUL inside", [](std::string& t) { t[30000] = '\0'; }, -101},
        {"stored text shorter than its length", [](std::string& t) { t.resize(t.size() - 4); },
         -101},
    };
    for (const Case& c : cases) {
        std::string text(kBuiltinImage.text);
        c.damage(text);
        EmbeddedImage embedded = kBuiltinImage;
        embedded.text = text;
        FirmwareImage image;
        EXPECT_EQ(BuildEmbeddedImage(image, embedded), c.status) << c.name;
        EXPECT_EQ(image.status, c.status) << c.name;
        EXPECT_EQ(image.length, 59902u) << c.name;
        EXPECT_EQ(image.text.size(), 59902u) << c.name;
        EXPECT_STREQ(image.name, "QS7 3.60") << c.name;
    }
}

TEST(BuiltinImage, SumTakesCharactersAsSigned) {
    EXPECT_EQ(ImageTextSum("@01100"), 306);
    EXPECT_EQ(ImageTextSum("\x80\x7F"), -1);
}

}  // namespace
