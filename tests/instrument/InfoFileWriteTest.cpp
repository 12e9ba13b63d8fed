// The settings file as written: byte for byte per family, owner-only, whole or not at all.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "instrument/InfoFileFixture.h"

namespace {

using korr::Korr_protocol;

struct Sample {
    const char* file;
    std::function<void(Korr_protocol&)> fill;
};

class InfoFileWrite : public ::testing::TestWithParam<Sample> {};

TEST_P(InfoFileWrite, WritesTheFamilyByteForByte) {
    korrtest::TempDir dir;
    Korr_protocol p(nullptr);
    GetParam().fill(p);
    const std::string path = dir.File("product.settings.txt");
    ASSERT_EQ(p.WriteInfoFile(path.c_str()), 1);
    EXPECT_EQ(korrtest::ReadFile(path), korrtest::DataFile(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(Families, InfoFileWrite,
                         ::testing::Values(Sample{"tr30.settings.txt", korrtest::FillTr30},
                                           Sample{"hv.settings.txt", korrtest::FillHV},
                                           Sample{"qe8.settings.txt", korrtest::FillQE8},
                                           Sample{"sensor.settings.txt", korrtest::FillSensor}));

// A line break in a value would end its line, and the rest could be read as another key: such a
// value is refused, naming its key, and the file that was there stays as it was.
TEST(InfoFileWriteSafety, ValueWithALineBreakIsRefusedByName) {
    struct Case {
        const char* name;
        std::function<void(Korr_protocol&)> spoil;
        const char* key;
    };
    const Case cases[] = {
        {"instrument name", [](Korr_protocol& p) {
             korrtest::FillHV(p);
             korr::CopyText(p.instrument.name, "HV\nsn=\"X\"");
         }, "name"},
        {"calibration text", [](Korr_protocol& p) {
             korrtest::FillHV(p);
             korr::CopyText(p.instrument.cal[1], "1.0\r2.0");
         }, "cal01"},
        {"logger site", [](Korr_protocol& p) {
             korrtest::FillTr30(p);
             korr::CopyText(p.loggerSettings.site, "Ridge\r\nsn=\"TR30-9999\"");
         }, "site"},
        {"sensor calibration", [](Korr_protocol& p) {
             korrtest::FillSensor(p);
             korr::CopyText(p.sdi->calibration2.data(), p.sdi->calibration2.size(), "Xa\n1");
         }, "calibration2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        korrtest::TempDir dir;
        const std::string path = dir.File("s.txt");
        korrtest::WriteFile(path, "good settings");
        Korr_protocol p(nullptr);
        c.spoil(p);
        EXPECT_EQ(p.WriteInfoFile(path.c_str()), -37);
        EXPECT_EQ(p.unsavableSetting, c.key);
        EXPECT_EQ(korrtest::ReadFile(path), "good settings");
    }
}

TEST(InfoFileWriteSafety, FileIsTheOwnersAloneEvenWhenItWasOpenBefore) {
    korrtest::TempDir dir;
    const std::string path = dir.File("s.txt");
    korrtest::WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    Korr_protocol p(nullptr);
    korrtest::FillTr30(p);
    ASSERT_EQ(p.WriteInfoFile(path.c_str()), 1);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(InfoFileWriteSafety, FailedWriteLeavesTheOldFileAsItWas) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    korrtest::TempDir dir;
    const std::string path = dir.File("s.txt");
    korrtest::WriteFile(path, "good settings");
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);  // no new file can be made beside it
    Korr_protocol p(nullptr);
    korrtest::FillTr30(p);
    EXPECT_EQ(p.WriteInfoFile(path.c_str()), -EACCES);
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(korrtest::ReadFile(path), "good settings");
}

// A write that fails part way (here the file-size limit, as a full disk would) leaves the old
// file whole and no temporary file behind.
TEST(InfoFileWriteSafety, WriteFailingPartWayLeavesTheOldFileAsItWas) {
    korrtest::TempDir dir;
    const std::string path = dir.File("s.txt");
    const std::string old(300, 'o');
    korrtest::WriteFile(path, old);
    Korr_protocol p(nullptr);
    korrtest::FillTr30(p);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t r = p.WriteInfoFile(path.c_str());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r, -EFBIG);
    EXPECT_EQ(korrtest::ReadFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(InfoFileWriteSafety, FailedRenameLeavesNoTemporaryFile) {
    korrtest::TempDir dir;
    const std::string path = dir.File("taken");
    std::filesystem::create_directory(path);
    korrtest::WriteFile(path + "/inside", "x");
    Korr_protocol p(nullptr);
    korrtest::FillTr30(p);
    EXPECT_EQ(p.WriteInfoFile(path.c_str()), -EISDIR);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(InfoFileWriteSafety, MissingPathIsRefused) {
    Korr_protocol p(nullptr);
    EXPECT_EQ(p.WriteInfoFile(nullptr), -10);
    EXPECT_EQ(p.WriteInfoFile(""), -10);
}

}  // namespace
