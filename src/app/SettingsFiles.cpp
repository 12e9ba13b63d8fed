#include "app/SettingsFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace korr {

namespace fs = std::filesystem;

namespace {

std::string Stamp(std::time_t localTime) {
    std::tm t{};
    gmtime_r(&localTime, &t);  // already local: the offset was added by the caller
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

}  // namespace

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string AsideName(const std::string& path, std::time_t localTime) {
    const fs::path p(path);
    const std::string base = (p.parent_path() / p.stem()).string() + "." + Stamp(localTime);
    const std::string ext = p.extension().string();
    std::string candidate = base + ext;
    for (int n = 2; FileExists(candidate) && n < 1000; ++n) {
        candidate = base + "-" + std::to_string(n) + ext;
    }
    return candidate;
}

int32_t MoveAside(const std::string& path, std::time_t localTime, std::string* moved) {
    if (!FileExists(path)) return 0;
    const std::string target = AsideName(path, localTime);
    if (FileExists(target)) return -EEXIST;
    std::error_code ec;
    fs::rename(path, target, ec);
    if (ec) return ec.value() > 0 ? -ec.value() : -EIO;
    *moved = target;
    return 1;
}

}  // namespace korr
