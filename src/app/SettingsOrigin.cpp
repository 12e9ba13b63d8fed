#include "app/SettingsOrigin.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "instrument/InfoFileLookup.h"

namespace korr {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOriginHead = "origin-";
constexpr std::string_view kSettingsTail = ".settings.txt";

struct OriginKey {
    const char* key;
    std::string SettingsOrigin::*field;
};
constexpr OriginKey kOriginKeys[] = {
    {"origin-type", &SettingsOrigin::type}, {"origin-version", &SettingsOrigin::version},
    {"origin-sn", &SettingsOrigin::serial}, {"origin-port", &SettingsOrigin::port},
    {"origin-time", &SettingsOrigin::time},
};

// A value the file cannot hold is cut at the first character that would end it early.
std::string FileSafe(const std::string& value) {
    const size_t cut = value.find_first_of("\"\r\n");
    return cut == std::string::npos ? value : value.substr(0, cut);
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::string OriginLines(const SettingsOrigin& origin) {
    std::string out;
    for (const OriginKey& k : kOriginKeys) {
        out += std::string(k.key) + "=\"" + FileSafe(origin.*k.field) + "\"\r\n";
    }
    return out;
}

SettingsOrigin ReadOrigin(std::string_view fileText) {
    SettingsOrigin origin;
    for (const OriginKey& k : kOriginKeys) {
        origin.*k.field = std::string(FindFileValue(fileText, k.key).value_or(""));
    }
    if (origin.serial.empty()) origin.serial = FindFileValue(fileText, "sn").value_or("");
    return origin;
}

std::string WithoutOrigin(std::string_view fileText) {
    std::string out;
    size_t pos = 0;
    while (pos < fileText.size()) {
        size_t end = fileText.find('\n', pos);
        end = end == std::string_view::npos ? fileText.size() : end + 1;
        const std::string_view line = fileText.substr(pos, end - pos);
        if (line.substr(0, kOriginHead.size()) != kOriginHead) out += line;
        pos = end;
    }
    return out;
}

bool TellsApart(std::string_view serial) {
    return serial.find_first_not_of("0 ") != std::string_view::npos;
}

std::string LocalTimeText(std::time_t localTime) {
    std::tm t{};
    gmtime_r(&localTime, &t);  // already local: the offset was added by the caller
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string PortTag(const std::string& portName) {
    std::string tag = fs::path(portName).filename().string();
    if (tag.empty()) tag = portName;
    for (char& c : tag) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!keep) c = '_';
    }
    if (tag.empty() || tag.find_first_not_of('.') == std::string::npos) tag = "_" + tag;
    return tag;
}

std::string PortSettingsFileName(const std::string& product, const std::string& portName) {
    return product + "." + PortTag(portName) + std::string(kSettingsTail);
}

std::string SharedSettingsFileName(const std::string& product) {
    return product + std::string(kSettingsTail);
}

namespace {

// The regular files of the folder whose names pass, newest first.
template <typename Pass>
std::vector<std::string> FilesNewestFirst(const std::string& folder, Pass&& pass) {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::error_code fileEc;
        if (!pass(e.path().filename().string()) || !e.is_regular_file(fileEc)) continue;
        found.emplace_back(e.last_write_time(fileEc), e.path().string());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<std::string> paths;
    for (auto& [time, path] : found) paths.push_back(std::move(path));
    return paths;
}

}  // namespace

std::vector<std::string> LeftSettingsFiles(const std::string& folder, const std::string& product) {
    const std::string head = product + ".";
    return FilesNewestFirst(folder, [&](const std::string& name) {
        if (name == SharedSettingsFileName(product)) return true;
        return name.rfind(head, 0) == 0 && EndsWith(name, kSettingsTail) &&
               name.size() > head.size() + kSettingsTail.size();
    });
}

std::vector<std::string> AsideSettingsFiles(const std::string& folder, const std::string& product) {
    // "<product>[.<port>].settings.<yyyy-mm-dd_hh-mm-ss>[-n].txt"
    const std::string head = product + ".";
    return FilesNewestFirst(folder, [&](const std::string& name) {
        const size_t stamp = name.rfind(".settings.");
        return name.rfind(head, 0) == 0 && stamp != std::string::npos && stamp + 1 >= head.size() &&
               EndsWith(name, ".txt") && !EndsWith(name, kSettingsTail) &&
               name.size() > stamp + 10 && name[stamp + 10] >= '0' && name[stamp + 10] <= '9';
    });
}

}  // namespace korr
