#pragma once
// The settings an instrument keeps as named values ("get -sn", "set -sn %s"), as this program
// holds them across a firmware update, and the mask that names which of them are held.

#include <cstddef>
#include <cstdint>

namespace korr {

// InstrumentFlags: one bit per setting (a get/set command pair).
using InstrumentFlags = uint32_t;

inline constexpr InstrumentFlags kInstName = 0x00000001;
inline constexpr InstrumentFlags kInstSerialNumber = 0x00000002;
inline constexpr InstrumentFlags kInstFromFile = 0x00000004;  // read from a settings file
inline constexpr InstrumentFlags kInstLanguage = 0x00000008;
inline constexpr InstrumentFlags kInstContrast = 0x00000010;
inline constexpr InstrumentFlags kInstFvals = 0x00000020;
inline constexpr InstrumentFlags kInstUvals = 0x00000040;
inline constexpr InstrumentFlags kInstUnits = 0x00000080;
inline constexpr InstrumentFlags kInstAdc = 0x00000100;
inline constexpr InstrumentFlags kInstInt = 0x00000200;
inline constexpr InstrumentFlags kInstAdccal = 0x00000400;
inline constexpr InstrumentFlags kInstConfig = 0x00000800;
inline constexpr InstrumentFlags kInstWtoffset = 0x00001000;
inline constexpr InstrumentFlags kInstP1offset = 0x00002000;
inline constexpr InstrumentFlags kInstAuto = 0x00004000;
inline constexpr InstrumentFlags kInstBuild = 0x00008000;
inline constexpr InstrumentFlags kInstUnused = 0x00010000;
inline constexpr InstrumentFlags kInstWtfactory = 0x00020000;
inline constexpr InstrumentFlags kInstAdc15 = 0x00040000;
inline constexpr InstrumentFlags kInstAdc30 = 0x00080000;
inline constexpr InstrumentFlags kInstSample = 0x00100000;
inline constexpr InstrumentFlags kInstCal = 0x00200000;
inline constexpr InstrumentFlags kInstPandPv = 0x00400000;
inline constexpr InstrumentFlags kInstHVUnits = 0x00800000;
inline constexpr InstrumentFlags kInstLocation = 0x01000000;
inline constexpr InstrumentFlags kInstChai = 0x02000000;
inline constexpr InstrumentFlags kInstExt = 0x04000000;
inline constexpr InstrumentFlags kInstUserRecords = 0x08000000;
inline constexpr InstrumentFlags kInstEqnRecords = 0x10000000;
inline constexpr InstrumentFlags kInstTadj = 0x20000000;
inline constexpr InstrumentFlags kInstHadjTau = 0x40000000;
inline constexpr InstrumentFlags kInstSys = 0x80000000;

inline constexpr size_t kCalTextCount = 20;
inline constexpr size_t kCalTextCapacity = 81;

// Field widths include the NUL.
struct InstrumentSettings {
    char serialNumber[16] = {};
    char name[15] = {};
    char location[65] = {};
    char build[19] = {};
    int32_t language = 0;
    int32_t contrast = 0;
    int32_t units = 0;
    int32_t intValue = 0;  // "int"
    char config[65] = {};
    char autoValue[64] = {};  // "auto"
    char calprefs[65] = {};   // written to the settings file only; nothing fills it
    char hvUnits[65] = {};
    char sample[65] = {};
    char chai[17] = {};
    char fvals[64] = {};  // also holds the "p" value
    char uvals[64] = {};  // also holds the "pv" value
    char adc[17] = {};
    char adccal[64] = {};
    char wtoffset[64] = {};
    char wtfactory[64] = {};
    char p1offset[64] = {};
    char sys[65] = {};
    char adc15[65] = {};
    char adc30[65] = {};
    char ext[17] = {};
    char tadj[65] = {};
    char hadj[65] = {};
    int32_t tau = 0;
    char cal[kCalTextCount][kCalTextCapacity] = {};
};

}  // namespace korr
