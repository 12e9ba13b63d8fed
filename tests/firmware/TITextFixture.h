#pragma once
// A loader engine with its log in a temporary folder, on a clock that stands still.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "bsl/KorrBSLHost.h"
#include "serial/Clock.h"
#include "support/TempDir.h"

namespace korrtest {

// The vector section most test files end with: all 16 vectors, 0x1100 in the reset vector.
inline constexpr const char* kVectorSection =
    "@FFE0\n"
    "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"
    "FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 11\n";

inline bool SameImage(const korr::FirmwareImage& a, const korr::FirmwareImage& b) {
    return std::strcmp(a.name, b.name) == 0 && a.version == b.version && a.type == b.type &&
           a.status == b.status && a.length == b.length && a.text == b.text &&
           std::equal(std::begin(a.vectors), std::end(a.vectors), std::begin(b.vectors));
}

class TITextFixture : public ::testing::Test {
  protected:
    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::ScopedClock clock{std::make_shared<korr::VirtualClock>()};
    korr::KorrLog log{logPath.c_str(), korr::LOG_TRACE};
    korr::KorrBSLHost host{&log};

    // Writes `contents` to a file of that name in the test's folder and loads it.
    int32_t Load(const std::string& contents, const std::string& name = "QS7 3-61.txt") {
        path = dir.File(name);
        WriteFile(path, contents);
        return host.BSLLoadTIFile(path.c_str());
    }
    std::string Log() const { return ReadFile(logPath); }

    std::string path;
};

}  // namespace korrtest
