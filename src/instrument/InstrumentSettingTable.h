#pragma once
// One row per instrument setting (a bit of InstrumentFlags): the word of its get and set
// commands, where its value lives, the longest value a read stores and the name its set
// message gives it. The same row drives the collecting and the restoring side; the per-type
// request words say which settings each device type collects.

#include <cstddef>
#include <cstdint>

#include "instrument/InstrumentSettings.h"

namespace korr {

struct TextField {
    char* text;
    size_t capacity;
};

enum class ValueKind : uint8_t { Text, Number };

// One get/set command pair: "get -<key>" and "set -<key> <value>".
struct SettingValue {
    const char* key;
    ValueKind kind;
    size_t longest;  // characters a text read stores
    TextField (*text)(InstrumentSettings&);
    int32_t* (*number)(InstrumentSettings&);
    const char* label;  // the name the set message gives it; null: the setting is never set
};

// How a setting's step differs from one plain get or set.
enum class StepKind : uint8_t {
    Plain,
    SerialNumber,  // a refused value is -12
    Sample,        // its read always counts as done
    Cal,           // the list "cal 0" .. "cal 19"
    HadjTau,       // read hadj then tau; written tau then hadj
    PandPv,        // read and written p then pv
    Records,       // a record set
};

struct SettingRow {
    InstrumentFlags bit;
    StepKind step;
    int recordType;  // Records only
    SettingValue values[2];
    int valueCount;
};

// The row of a bit, or null for the bits without a setting (0x4, 0x10000).
const SettingRow* FindSettingRow(InstrumentFlags bit);

// The order in which GetInstInfo collects and SetInstInfo restores.
extern const InstrumentFlags kCollectOrder[30];
extern const InstrumentFlags kRestoreOrder[28];

}  // namespace korr
