// korrbsl image info|dump, run as the real executable.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bsl/KorrBSLHost.h"
#include "support/Spawn.h"

using korrtest::ReadFile;
using korrtest::Spawn;
using korrtest::SpawnResult;
using ::testing::HasSubstr;

namespace {

const std::string kFolder = KORR_FIRMWARE_DIR;

SpawnResult Korrbsl(const std::vector<std::string>& args) {
    return Spawn(KORRBSL_EXE, args);
}

TEST(ImageCommand, InfoOfTheBuiltInImage) {
    const SpawnResult r = Korrbsl({"image", "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "Image:    QS7 3.60 (built in)\n"
        "Type:     12 QS7 (Quorra Series 7)\n"
        "Version:  3.60\n"
        "Text:     59902 characters\n"
        "Segments: 1\n"
        "  01100-085FB  29948 bytes\n"
        "Vectors:\n"
        "  FFE0 FFFF  FFE2 FFFF  FFE4 FFFF  FFE6 FFFF  FFE8 1340  FFEA FFFF  FFEC FFFF  FFEE FFFF\n"
        "  FFF0 FFFF  FFF2 1400  FFF4 FFFF  FFF6 FFFF  FFF8 FFFF  FFFA FFFF  FFFC FFFF  FFFE "
        "1100\n");
    EXPECT_EQ(r.err, "");
}

TEST(ImageCommand, InfoOfAFile) {
    const SpawnResult r = Korrbsl({"image", "info", "--firmware", kFolder + "/QE8 2-10.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Image:    QE8 2.10\n"));
    EXPECT_THAT(r.out, HasSubstr("Type:     15 QE8 (Quorra 8)\nVersion:  2.10\n"));
    EXPECT_THAT(r.out, HasSubstr("Segments: 2\n  02100-05FFF  16128 bytes\n"
                                 "  10000-137FF  14336 bytes\n"));
}

TEST(ImageCommand, DumpWritesTheImageAsTheEngineDoes) {
    korrtest::TempDir dir;
    const std::string expected = dir.File("expected.txt");
    const std::string out = dir.File("out.txt");
    korr::KorrBSLHost host(nullptr);

    ASSERT_EQ(host.BSLWriteTIFile(expected.c_str()), 1);
    SpawnResult r = Korrbsl({"image", "dump", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));

    ASSERT_EQ(host.BSLWriteStandardTIFile(expected.c_str()), 1);
    r = Korrbsl({"image", "dump", out, "--titext"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));

    const std::string file = kFolder + "/QS7 3-61.txt";
    ASSERT_EQ(host.BSLLoadTIFile(file.c_str()), 1);
    ASSERT_EQ(host.BSLWriteTIFile(expected.c_str()), 1);
    r = Korrbsl({"image", "dump", out, "--firmware", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));
}

TEST(ImageCommand, FailuresGiveCodeAndReason) {
    korrtest::TempDir dir;
    const std::string bad = dir.File("bad.txt");
    korrtest::WriteFile(bad, "@1100\n11 22\nq\n");
    const std::string missing = dir.File("missing.txt");
    const std::string unwritable = dir.File("no/folder/out.txt");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"image", "info", "--firmware", bad},
         "error -100: " + bad + " is not a valid TI-Text file\n"},
        {{"image", "dump", dir.File("out.txt"), "--firmware", bad},
         "error -100: " + bad + " is not a valid TI-Text file\n"},
        {{"image", "info", "--firmware", missing},
         "error -2: cannot read " + missing + ": No such file or directory\n"},
        {{"image", "dump", unwritable},
         "error -2: cannot write " + unwritable + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const SpawnResult r = Korrbsl(c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(ImageCommand, UsageErrors) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"image"}, {"image", "dump"}, {"image", "info", "extra"}}) {
        EXPECT_EQ(Korrbsl(args).status, 2) << args.back();
    }
}

}  // namespace
