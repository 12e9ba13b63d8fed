#include "serial/PortSource.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace korr {

namespace {

constexpr int kFixedUarts = 16;  // ttyS0 to ttyS15, whether or not a node exists

constexpr const char* kHotplugPrefixes[] = {"ttyUSB", "ttyACM"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "ttyUSB" followed by digits and nothing else.
bool IsHotplugNode(const char* name) {
    for (const char* prefix : kHotplugPrefixes) {
        size_t n = std::strlen(prefix);
        if (std::strncmp(name, prefix, n) != 0 || name[n] == '\0') continue;
        const char* p = name + n;
        while (IsDigit(*p)) ++p;
        if (*p == '\0') return true;
    }
    return false;
}

}  // namespace

void SystemProbeNames(const char* devDir, std::vector<std::string>& out) {
    std::vector<std::string> names;
    for (int n = 0; n < kFixedUarts; ++n) names.push_back("ttyS" + std::to_string(n));
    if (DIR* dir = ::opendir(devDir)) {
        while (const dirent* entry = ::readdir(dir)) {
            if (IsHotplugNode(entry->d_name)) names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return ComparePortNames(a.c_str(), b.c_str()) < 0;
    });
    out.insert(out.end(), names.begin(), names.end());
}

int ComparePortNames(const char* a, const char* b) {
    while (*a != '\0' && *b != '\0') {
        if (IsDigit(*a) && IsDigit(*b)) {
            while (*a == '0') ++a;  // leading zeros do not change the value
            while (*b == '0') ++b;
            const char* endA = a;
            const char* endB = b;
            while (IsDigit(*endA)) ++endA;
            while (IsDigit(*endB)) ++endB;
            // More significant digits is the larger value; equal lengths compare digit by digit.
            if (endA - a != endB - b) return endA - a < endB - b ? -1 : 1;
            for (; a < endA; ++a, ++b) {
                if (*a != *b) return *a < *b ? -1 : 1;
            }
            continue;
        }
        auto ca = static_cast<unsigned char>(*a);
        auto cb = static_cast<unsigned char>(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        ++a;
        ++b;
    }
    if (*a == *b) return 0;
    return *a == '\0' ? -1 : 1;
}

std::string CleanDeviceText(std::string text) {
    for (char& c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace korr
