#include "firmware/ImageName.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "common/FixedText.h"
#include "device/DeviceTypes.h"

namespace korr {

namespace {

constexpr size_t kMaxNameChars = kImageNameCapacity - 1;
constexpr int kMaxVersionDigits = 11;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The file's own name: both separators count, so a name chosen from any folder is recognised.
const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return base;
}

// The type named by the characters before the first blank, '-' or '_', in any case.
uint8_t TypeFromName(const char* name) {
    std::string code(name, std::strcspn(name, " -_"));
    for (char& c : code) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return static_cast<uint8_t>(FindDeviceTypeByCode(code));
}

// The digits from the first blank or '-' on, whatever stands between them ("3-60" is 360).
int32_t VersionFromName(const char* name) {
    const char* from = name + std::strcspn(name, " -");
    int64_t value = 0;
    int digits = 0;
    for (const char* p = from; *p != '\0' && digits < kMaxVersionDigits; ++p) {
        if (!IsDigit(*p)) continue;
        value = value * 10 + (*p - '0');
        ++digits;
    }
    // Eleven digits can exceed the field; a number that large is no version anyway.
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace

ImageIdentity IdentityFromPath(const char* path) {
    ImageIdentity id;
    if (path == nullptr) return id;
    CopyText(id.name, BaseName(path), kMaxNameChars);
    if (char* ext = std::strstr(id.name, ".txt")) *ext = '\0';

    id.type = TypeFromName(id.name);
    id.version = VersionFromName(id.name);

    // "3-60" is shown as "3.60".
    if (char* dash = std::strchr(id.name, '-')) {
        if (dash > id.name && IsDigit(dash[-1]) && IsDigit(dash[1])) *dash = '.';
    }
    return id;
}

}  // namespace korr
