// The instrument family's section of the settings file, read back into the instrument settings
// and record sets. Each type reads the keys of the settings it collects.
#include <cstdio>
#include <cstring>
#include <utility>

#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"

namespace korr {

namespace {

struct ReadKey {
    const char* key = nullptr;
    InstrumentFlags bit = 0;  // 0: the key's own setting
    size_t capacity = 0;      // 0: the whole field
    bool onlyWithSerial = false;
};

struct TypeKeys {
    int type;
    ReadKey keys[8];
    InstrumentFlags lists;  // of kInstCal, kInstHadjTau, kInstUserRecords, kInstEqnRecords
};

constexpr size_t kShortName = 9;

// A Quorra VX collects "p" and "pv" into fvals and uvals. A CZ-40 collects its contrast
// together with its serial number (from firmware 2.00 on), so a file without a serial number
// holds no real contrast.
constexpr TypeKeys kTypeKeys[] = {
    {.type = 6, .keys = {{"sn"}, {"lang"}, {"contr"}, {"fvals"}, {"uvals"}}, .lists = kInstHadjTau},
    {.type = 7, .keys = {{"sn"}, {"contr"}, {"units"}, {"adc"}, {"sample"}}, .lists = 0},
    {.type = 8,
     .keys = {{"location"},
              {"chai"},
              {"extCal"},
              {"adccal"},
              {"sn"},
              {"config"},
              {.key = "contr", .onlyWithSerial = true}},
     .lists = 0},
    {.type = 9, .keys = {{"sn"}, {"contr"}, {"units"}, {"fvals"}}, .lists = 0},
    {.type = 11,
     .keys = {{"sn"}, {"adccal"}, {"wtoffset"}, {"p1offset"}, {"auto"}, {"wtfactory"}, {"sys"}},
     .lists = 0},
    {.type = 12, .keys = {{"adccal"}, {"config"}}, .lists = 0},
    {.type = 13, .keys = {{.key = "name", .capacity = kShortName}, {"sn"}}, .lists = 0},
    {.type = 14,
     .keys = {{"sn"},
              {.key = "name", .capacity = kShortName},
              {"contr"},
              {"adc15"},
              {"adc30"},
              {"HVUnits"}},
     .lists = kInstCal},
    {.type = 15,
     .keys = {{"config"}, {"tadj"}, {"sn"}},
     .lists = kInstHadjTau | kInstUserRecords | kInstEqnRecords},
    {.type = 16,
     .keys = {{"config"},
              {"sn"},
              {"tadj"},
              {.key = "fvals", .bit = kInstPandPv},
              {.key = "uvals", .bit = kInstPandPv}},
     .lists = kInstUserRecords},
    {.type = 17, .keys = {{"adccal"}, {"config"}, {"sn"}}, .lists = 0},
};

const TypeKeys* FindTypeKeys(int type) {
    for (const TypeKeys& row : kTypeKeys) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

// Reads one key into its field; true when it was found (a text only when not empty).
bool ReadOne(const char* text, const ReadKey& want, InstrumentSettings& s) {
    const InstrumentKey* row = FindInstrumentKey(want.key);
    if (row == nullptr) return false;
    if (row->text != nullptr) {
        // The row hands out the field of s, which is ours to change.
        char* field = const_cast<char*>(row->text(s));
        size_t capacity = want.capacity != 0 ? want.capacity : row->capacity;
        return GetFileString(text, want.key, field, capacity);
    }
    return GetFileLong(text, want.key, const_cast<int32_t*>(row->number(s)));
}

InstrumentFlags ReadKeys(const char* text, const TypeKeys& keys, InstrumentSettings& s) {
    InstrumentFlags flags = 0;
    for (const ReadKey& want : keys.keys) {
        if (want.key == nullptr) break;
        if (want.onlyWithSerial && !(flags & kInstSerialNumber)) continue;
        if (ReadOne(text, want, s))
            flags |= want.bit != 0 ? want.bit : FindInstrumentKey(want.key)->bit;
    }
    return flags;
}

// Calibration texts cal00, cal01, ... up to the first that is missing or empty.
InstrumentFlags ReadCalList(const char* text, InstrumentSettings& s) {
    InstrumentFlags flags = 0;
    char key[8];
    for (size_t i = 0; i < kCalTextCount; ++i) {
        std::snprintf(key, sizeof key, "cal%02d", static_cast<int>(i));
        if (!GetFileString(text, key, s.cal[i], kCalTextCapacity)) break;
        flags |= kInstCal;
    }
    return flags;
}

// hadj counts only together with tau.
InstrumentFlags ReadHadjTau(const char* text, InstrumentSettings& s) {
    if (!GetFileLong(text, "tau", &s.tau)) return 0;
    return GetFileString(text, "hadj", s.hadj, sizeof s.hadj) ? kInstHadjTau : 0;
}

}  // namespace

std::vector<const char*> InstrumentRestoredKeys(int deviceType) {
    std::vector<const char*> restored;
    const TypeKeys* keys = FindTypeKeys(deviceType);
    if (keys == nullptr) return restored;
    for (const ReadKey& want : keys->keys) {
        if (want.key != nullptr) restored.push_back(want.key);
    }
    if (keys->lists & kInstHadjTau) restored.insert(restored.end(), {"tau", "hadj"});
    return restored;
}

int32_t ReadInstrumentSection(Korr_protocol& protocol, const char* fileText) {
    const TypeKeys* keys = FindTypeKeys(protocol.deviceType);
    char type[33];
    if (keys == nullptr || !GetFileString(fileText, "type", type, sizeof type) ||
        std::strcmp(type, DeviceTypeInfo(protocol.deviceType).code) != 0) {
        return -30;
    }
    // Every key of the type is on a line of its own in a whole file, empty or not.
    NoteMissingKeys(fileText, InstrumentRestoredKeys(protocol.deviceType),
                    protocol.settingsNotInFile);
    InstrumentSettings settings = protocol.instrument;
    InstrumentFlags flags = kInstFromFile | ReadKeys(fileText, *keys, settings);
    if (keys->lists & kInstCal) flags |= ReadCalList(fileText, settings);
    if (keys->lists & kInstHadjTau) flags |= ReadHadjTau(fileText, settings);
    RecordSet user;
    RecordSet eqn;
    if (keys->lists & kInstUserRecords) {
        int32_t r = protocol.GetRecords_File(user, kRecordUser, fileText);
        if (r < 0) return r;
        if (user.count > 0) flags |= kInstUserRecords;
    }
    if (keys->lists & kInstEqnRecords) {
        int32_t r = protocol.GetRecords_File(eqn, kRecordEqn, fileText);
        if (r < 0) return r;
        if (eqn.count > 0) flags |= kInstEqnRecords;
    }
    protocol.instrument = settings;
    protocol.instrumentType = protocol.deviceType;
    protocol.instrumentFlags |= flags;
    if (keys->lists & kInstUserRecords) protocol.userRecords = std::move(user);
    if (keys->lists & kInstEqnRecords) protocol.eqnRecords = std::move(eqn);
    return 1;
}

}  // namespace korr
