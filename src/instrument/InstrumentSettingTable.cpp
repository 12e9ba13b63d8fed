#include "instrument/InstrumentSettingTable.h"

namespace korr {

namespace {

template <auto Member>
TextField TextOf(InstrumentSettings& s) {
    return TextField{s.*Member, sizeof(s.*Member)};
}

template <auto Member>
int32_t* NumberOf(InstrumentSettings& s) {
    return &(s.*Member);
}

template <auto Member>
constexpr SettingValue Text(const char* key, size_t longest, const char* label) {
    return SettingValue{.key = key,
                        .kind = ValueKind::Text,
                        .longest = longest,
                        .text = &TextOf<Member>,
                        .number = nullptr,
                        .label = label};
}

template <auto Member>
constexpr SettingValue Number(const char* key, const char* label) {
    return SettingValue{.key = key,
                        .kind = ValueKind::Number,
                        .longest = 0,
                        .text = nullptr,
                        .number = &NumberOf<Member>,
                        .label = label};
}

constexpr SettingRow One(InstrumentFlags bit, SettingValue value, StepKind step = StepKind::Plain) {
    return SettingRow{
        .bit = bit, .step = step, .recordType = 0, .values = {value, {}}, .valueCount = 1};
}

constexpr SettingRow Two(InstrumentFlags bit, StepKind step, SettingValue first,
                         SettingValue second) {
    return SettingRow{
        .bit = bit, .step = step, .recordType = 0, .values = {first, second}, .valueCount = 2};
}

constexpr SettingRow Records(InstrumentFlags bit, int type) {
    return SettingRow{
        .bit = bit, .step = StepKind::Records, .recordType = type, .values = {}, .valueCount = 0};
}

using S = InstrumentSettings;

// clang-format off
const SettingRow kSettingRows[] = {
    One(kInstName,        Text<&S::name>("i", 7, "name")),
    One(kInstSerialNumber, Text<&S::serialNumber>("sn", 14, "device serial number"),
        StepKind::SerialNumber),
    One(kInstLanguage,    Number<&S::language>("lang", "device language")),
    One(kInstContrast,    Number<&S::contrast>("contr", "device contrast")),
    One(kInstFvals,       Text<&S::fvals>("fvals", 62, "fvals")),
    One(kInstUvals,       Text<&S::uvals>("uvals", 62, "uvals")),
    One(kInstUnits,       Number<&S::units>("units", "device units")),
    One(kInstAdc,         Text<&S::adc>("adc", 15, "adc")),
    One(kInstInt,         Number<&S::intValue>("int", nullptr)),
    One(kInstAdccal,      Text<&S::adccal>("adccal", 62, "adccal")),
    One(kInstConfig,      Text<&S::config>("config", 63, "config")),
    One(kInstWtoffset,    Text<&S::wtoffset>("wtoffset", 62, "wtoffset")),
    One(kInstP1offset,    Text<&S::p1offset>("p1offset", 62, "p1offset")),
    One(kInstAuto,        Text<&S::autoValue>("auto", 62, "autosec")),
    One(kInstBuild,       Text<&S::build>("build", 15, nullptr)),
    One(kInstWtfactory,   Text<&S::wtfactory>("wtfactory", 62, "wtfactory")),
    One(kInstAdc15,       Text<&S::adc15>("adc15", 63, "adc15")),
    One(kInstAdc30,       Text<&S::adc30>("adc30", 63, "adc30")),
    One(kInstSample,      Text<&S::sample>("sample", 63, "sample"), StepKind::Sample),
    SettingRow{.bit = kInstCal, .step = StepKind::Cal, .recordType = 0, .values = {},
               .valueCount = 0},
    Two(kInstPandPv, StepKind::PandPv,
        Text<&S::fvals>("p", 62, "-p"),
        Text<&S::uvals>("pv", 62, "-pv")),
    One(kInstHVUnits,     Text<&S::hvUnits>("units", 63, "hvUnits")),
    One(kInstLocation,    Text<&S::location>("loc", 63, "location")),
    One(kInstChai,        Text<&S::chai>("x", 15, "chai")),
    One(kInstExt,         Text<&S::ext>("ext", 15, "ext")),
    Records(kInstUserRecords, 2),
    Records(kInstEqnRecords, 1),
    One(kInstTadj,        Text<&S::tadj>("tadj", 63, "tadj")),
    Two(kInstHadjTau, StepKind::HadjTau,
        Text<&S::hadj>("hadj", 63, "hadj"),
        Number<&S::tau>("tau", "tau")),
    One(kInstSys,         Text<&S::sys>("sys", 63, "sys")),
};
// clang-format on

}  // namespace

const InstrumentFlags kCollectOrder[30] = {
    kInstLanguage,  kInstSerialNumber, kInstContrast,    kInstConfig, kInstFvals,    kInstUvals,
    kInstUnits,     kInstAdc,          kInstSample,      kInstInt,    kInstAdccal,   kInstWtoffset,
    kInstWtfactory, kInstP1offset,     kInstSys,         kInstAuto,   kInstBuild,    kInstHVUnits,
    kInstName,      kInstAdc15,        kInstAdc30,       kInstCal,    kInstLocation, kInstChai,
    kInstExt,       kInstEqnRecords,   kInstUserRecords, kInstTadj,   kInstHadjTau,  kInstPandPv,
};

const InstrumentFlags kRestoreOrder[28] = {
    kInstSerialNumber, kInstLanguage, kInstContrast, kInstFvals,   kInstConfig,   kInstUvals,
    kInstUnits,        kInstAdc,      kInstSample,   kInstAdccal,  kInstWtoffset, kInstWtfactory,
    kInstP1offset,     kInstSys,      kInstAuto,     kInstHVUnits, kInstName,     kInstAdc15,
    kInstAdc30,        kInstCal,      kInstLocation, kInstChai,    kInstExt,      kInstEqnRecords,
    kInstUserRecords,  kInstTadj,     kInstHadjTau,  kInstPandPv,
};

const SettingRow* FindSettingRow(InstrumentFlags bit) {
    for (const SettingRow& row : kSettingRows) {
        if (row.bit == bit) return &row;
    }
    return nullptr;
}

}  // namespace korr
