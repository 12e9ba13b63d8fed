// Which settings-file family each device type writes and reads, and the file's type lines.
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"

namespace korr {

namespace {

struct FamilyRow {
    int type;
    InfoFamily family;
};

// Types not listed here read no settings file; the writer takes them as instruments.
constexpr FamilyRow kFamilies[] = {
    {2, InfoFamily::kLogger},      {3, InfoFamily::kLogger},      {4, InfoFamily::kLogger},
    {6, InfoFamily::kInstrument},  {7, InfoFamily::kInstrument},  {8, InfoFamily::kInstrument},
    {9, InfoFamily::kInstrument},  {10, InfoFamily::kSensor},     {11, InfoFamily::kInstrument},
    {12, InfoFamily::kInstrument}, {13, InfoFamily::kInstrument}, {14, InfoFamily::kInstrument},
    {15, InfoFamily::kInstrument}, {16, InfoFamily::kInstrument}, {17, InfoFamily::kInstrument},
    {18, InfoFamily::kLogger},     {19, InfoFamily::kLogger},
};

// The model texts a logger writes as its type line, and the types that read each (the first is
// the model's own).
struct LoggerModelRow {
    const char* model;
    int types[3];
};

// A ZL2 logger reports itself as "ZLG"; it reads its own files as well as those of a Tr30.
constexpr LoggerModelRow kLoggerModels[] = {
    {"Tr30", {3, 18, 19}}, {"rB2", {18, 3, 19}}, {"ZLG", {19}}, {"Tr3b", {2}}, {"FieldHub", {4}},
};

constexpr const char* kSecretKeys[] = {"passwd", "authkey"};

}  // namespace

InfoFamily InfoReadFamily(int deviceType) {
    for (const FamilyRow& row : kFamilies) {
        if (row.type == deviceType) return row.family;
    }
    return InfoFamily::kNone;
}

InfoFamily InfoWriteFamily(int deviceType) {
    InfoFamily family = InfoReadFamily(deviceType);
    return family == InfoFamily::kNone ? InfoFamily::kInstrument : family;
}

bool LoggerTypeLineMatches(int deviceType, const char* typeValue) {
    for (const LoggerModelRow& row : kLoggerModels) {
        if (std::strcmp(row.model, typeValue) != 0) continue;
        for (int type : row.types) {
            if (type != 0 && type == deviceType) return true;
        }
    }
    return false;
}

int InfoFileDeviceType(const char* fileText) {
    char value[64];
    if (fileText == nullptr || !GetFileString(fileText, "type", value, sizeof value)) return 0;
    for (const LoggerModelRow& row : kLoggerModels) {
        if (std::strcmp(row.model, value) == 0) return row.types[0];
    }
    const int type = FindDeviceTypeByCode(value);
    return InfoReadFamily(type) == InfoFamily::kNone ? 0 : type;
}

bool IsSecretKey(const char* key) {
    for (const char* secret : kSecretKeys) {
        if (std::strcmp(secret, key) == 0) return true;
    }
    return false;
}

}  // namespace korr
