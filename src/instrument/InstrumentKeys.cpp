// The keys of the instrument family in the order the file holds them, with the setting each
// names: the writer walks this table, the reader finds its keys in it.
#include <cstring>

#include "instrument/InfoFile.h"

namespace korr {

namespace {

#define TEXT_KEY(KEY, BIT, FIELD)                                                   \
    InstrumentKey {                                                                 \
        .key = KEY, .bit = BIT,                                                     \
        .text = [](const InstrumentSettings& s) -> const char* { return s.FIELD; }, \
        .capacity = sizeof(InstrumentSettings::FIELD), .number = nullptr            \
    }
#define NUMBER_KEY(KEY, BIT, FIELD)                                                      \
    InstrumentKey {                                                                      \
        .key = KEY, .bit = BIT, .text = nullptr, .capacity = 0,                          \
        .number = [](const InstrumentSettings& s) -> const int32_t* { return &s.FIELD; } \
    }

// wtoffset to sys follow hadj so that a Sorbion's settings survive in the file too; readers
// of older files simply find them missing.
constexpr InstrumentKey kInstrumentKeys[] = {
    TEXT_KEY("name", kInstName, name),
    TEXT_KEY("sn", kInstSerialNumber, serialNumber),
    NUMBER_KEY("lang", kInstLanguage, language),
    TEXT_KEY("KorrBuild", kInstBuild, build),
    NUMBER_KEY("contr", kInstContrast, contrast),
    TEXT_KEY("config", kInstConfig, config),
    TEXT_KEY("fvals", kInstFvals, fvals),
    TEXT_KEY("uvals", kInstUvals, uvals),
    NUMBER_KEY("units", kInstUnits, units),
    TEXT_KEY("adc", kInstAdc, adc),
    TEXT_KEY("adccal", kInstAdccal, adccal),
    TEXT_KEY("calprefs", 0, calprefs),
    TEXT_KEY("HVUnits", kInstHVUnits, hvUnits),
    TEXT_KEY("sample", kInstSample, sample),
    TEXT_KEY("adc15", kInstAdc15, adc15),
    TEXT_KEY("adc30", kInstAdc30, adc30),
    TEXT_KEY("location", kInstLocation, location),
    TEXT_KEY("chai", kInstChai, chai),
    TEXT_KEY("extCal", kInstExt, ext),
    TEXT_KEY("tadj", kInstTadj, tadj),
    NUMBER_KEY("tau", kInstHadjTau, tau),
    TEXT_KEY("hadj", kInstHadjTau, hadj),
    TEXT_KEY("wtoffset", kInstWtoffset, wtoffset),
    TEXT_KEY("wtfactory", kInstWtfactory, wtfactory),
    TEXT_KEY("p1offset", kInstP1offset, p1offset),
    TEXT_KEY("auto", kInstAuto, autoValue),
    TEXT_KEY("sys", kInstSys, sys),
};

#undef TEXT_KEY
#undef NUMBER_KEY

}  // namespace

const InstrumentKey* FindInstrumentKey(const char* key) {
    for (const InstrumentKey& row : kInstrumentKeys) {
        if (std::strcmp(row.key, key) == 0) return &row;
    }
    return nullptr;
}

void AppendInstrumentKeys(InfoText& out, const InstrumentSettings& s) {
    for (const InstrumentKey& row : kInstrumentKeys) {
        if (row.text != nullptr) {
            AppendLine(out, "%s=\"%s\"\r\n", row.key, row.text(s));
        } else {
            AppendLine(out, "%s=\"%ld\"\r\n", row.key, static_cast<long>(*row.number(s)));
        }
    }
}

}  // namespace korr
