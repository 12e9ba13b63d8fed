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

// Runs korrbsl with its data folder (and so its log) in a folder of the test's own.
SpawnResult Korrbsl(const std::vector<std::string>& args) {
    static korrtest::TempDir data;
    return Spawn(KORRBSL_PATH, args, {"XDG_DATA_HOME=" + data.Path().string()});
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

TEST(ImageCommand, DumpWritesTITextOrTheEnginesForm) {
    korrtest::TempDir dir;
    const std::string expected = dir.File("expected.txt");
    const std::string out = dir.File("out.txt");
    korr::KorrBSLHost host(nullptr);

    ASSERT_EQ(host.BSLWriteStandardTIFile(expected.c_str()), 1);
    SpawnResult r = Korrbsl({"image", "dump", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));
    r = Korrbsl({"image", "dump", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ReadFile(expected)) << "- writes the file to standard output";

    ASSERT_EQ(host.BSLWriteTIFile(expected.c_str()), 1);
    r = Korrbsl({"image", "dump", out, "--engine-form"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));

    const std::string file = kFolder + "/QS7 3-61.txt";
    ASSERT_EQ(host.BSLLoadTIFile(file.c_str()), 1);
    ASSERT_EQ(host.BSLWriteStandardTIFile(expected.c_str()), 1);
    r = Korrbsl({"image", "dump", out, "--firmware", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), ReadFile(expected));
}

// Without OUT the file gets the image's own name, which tells its type and version when it is
// read back; image info then shows the built-in image, and flash programs it.
TEST(ImageCommand, WhatDumpSavesIsReadBack) {
    korrtest::TempDir dir;
    const std::string command =
        "cd '" + dir.Path().string() + "' && exec '" + std::string(KORRBSL_PATH) + "' image dump";
    SpawnResult r = Spawn("/bin/sh", {"-c", command}, {"XDG_DATA_HOME=" + dir.File("data")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = dir.File("QS7 3-60.txt");
    EXPECT_EQ(r.out, "Wrote QS7 3.60 to QS7 3-60.txt as TI-Text\n");

    const SpawnResult builtIn = Korrbsl({"image", "info"});
    r = Korrbsl({"image", "info", "--firmware", saved});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected = builtIn.out;
    expected.erase(expected.find(" (built in)"), 11);
    EXPECT_EQ(r.out, expected);

    r = Korrbsl({"flash", "--simulate", "--firmware", saved});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Programmed QS7 3.60 into the Quorra Series 7"));
}

TEST(ImageCommand, FailuresNameTheFileAndTheCause) {
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
         "error: " + bad +
             " is not a valid TI-Text firmware file: reading stopped at line 3: the file "
             "gives no interrupt vectors (a section at 0xFFE0 to 0xFFFE)\n"},
        {{"image", "dump", dir.File("out.txt"), "--firmware", bad},
         "error: " + bad +
             " is not a valid TI-Text firmware file: reading stopped at line 3: the file "
             "gives no interrupt vectors (a section at 0xFFE0 to 0xFFFE)\n"},
        {{"image", "info", "--firmware", missing},
         "error: cannot read " + missing + ": No such file or directory\n"},
        // The same file missing gives the same line in every command.
        {{"flash", "--port", "ttyS0", "--firmware", missing},
         "error: cannot read " + missing + ": No such file or directory\n"},
        {{"image", "dump", unwritable},
         "error: cannot write " + unwritable + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const SpawnResult r = Korrbsl(c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_THAT(r.err, HasSubstr("\nThe log is in "));
        EXPECT_EQ(r.out, "");
    }
}

TEST(ImageCommand, UsageErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"image"},
                                                 {"image", "dump", "a", "b"},
                                                 {"image", "info", "extra"}}) {
        EXPECT_EQ(Korrbsl(args).status, 2) << args.back();
    }
}

}  // namespace
