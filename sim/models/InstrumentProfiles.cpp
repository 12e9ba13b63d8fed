#include "models/InstrumentProfiles.h"

namespace korrsim {

namespace {

template <size_t N>
constexpr size_t Count(const SettingSeed (&)[N]) {
    return N;
}

// clang-format off
constexpr SettingSeed kQmini[] = {
    {"sn", "QM-004217", "00000000"},
    {"lang", "2", "0"},
    {"contr", "7", "5"},
    {"fvals", "0.9812,1.0034,0.9977,1.0102", "1,1,1,1"},
    {"uvals", "mS/cm; 25.0 C; ref 1.413", "default"},
    {"hadj", "1.023, -0.004 (rev B)", "1.000"},
    {"tau", "45", "30"},
};
constexpr SettingSeed kTm[] = {
    {"sn", "TM-310556", "00000000"},
    {"contr", "6", "5"},
    {"units", "1", "0"},
    {"adc", "50.98", "50.00"},
    {"sample", "10s avg, 3 reps; delay 2.5s", "1s"},
};
constexpr SettingSeed kCz40[] = {
    {"adccal", "1.0021 0.9987 -0.0031", "1 1 0"},
    {"loc", "Greenhouse 3, bench B (north end)", "unknown"},
    {"x", "CH-7/alpha", "CH-0"},
    {"ext", "EXT:on;gain=2", "EXT:off"},
    {"sn", "CZ40-88123", "00000000"},
    {"contr", "4", "5"},
    {"config", "mode=leaf; cal=2024-03-11", "mode=std"},
};
constexpr SettingSeed kSz[] = {
    {"sn", "SZ-20931", "00000000"},
    {"contr", "5", "3"},
    {"fvals", "0.25,0.50,0.75", "0,0,0"},
    {"units", "2", "0"},
};
constexpr SettingSeed kSorb[] = {
    {"sn", "SRB-77410", "00000000"},
    {"adccal", "0.9934,1.0071", "1,1"},
    {"wtoffset", "-0.125 g", "0"},
    {"p1offset", "+0.030 kPa", "0"},
    {"auto", "on, 15 min; stop @ 98%", "off"},
    {"wtfactory", "1.00042", "1"},
    {"sys", "SORB/2 rev C; pump=P2", "SORB/2"},
};
// The QS7's serial number is not among the settings an update collects: it stays what it was
// when new firmware starts, and a factory update may give it a new one ("set -sn").
constexpr SettingSeed kQs7[] = {
    {"sn", "QS7-104233", "QS7-104233"},
    {"adccal", "1.0120 0.9950 0.0004", "1 1 0"},
    {"config", "QS7:std, 4 ch; beep=off", "QS7:std"},
};
constexpr SettingSeed kMcd[] = {
    {"i", "MCD-A7", "MCD"},
    {"sn", "MCD-000815", "00000000"},
};
constexpr SettingSeed kHv[] = {
    {"i", "HView2", "HV"},
    {"sn", "HV-140233", "00000000"},
    {"contr", "6", "5"},
    {"adc15", "15.002,14.998", "15,15"},
    {"adc30", "30.011,29.987", "30,30"},
    {"units", "kPa, C, %RH", "kPa"},
};
// The QE8's config carries the character sum of its serial number.
constexpr SettingSeed kQe8[] = {
    {"sn", "QE8-51234", "00000000"},
    {"config", "48213", "384"},
    {"tadj", "+0.35 C @ 25C; slope 1.002", "0"},
};
constexpr SettingSeed kQvx[] = {
    {"sn", "QVX-6021", "00000000"},
    {"config", "vx=2;filter=on", "vx=1"},
    {"p", "1013.25 hPa", "1013"},
    {"pv", "2.338 kPa", "0"},
    {"tadj", "-0.10 C", "0"},
};
constexpr SettingSeed kHyp9[] = {
    {"sn", "HYP9-0042", "00000000"},
    {"config", "range=high; avg=8", "range=low"},
};

constexpr const char* kHvCal[] = {
    "0.000 4.000 20.000 mA",
    "1: -0.012, 1.0031 (2024-02-17)",
    "2: +0.004, 0.9987 (2024-02-17)",
};
// Stored in name order: "Clay", "Loam", "SandyBeac" (the fourth field, cut to 9 characters).
constexpr const char* kUserRecords[] = {
    "Nwlzb2lsCTIwMjQtMDUtMDIJQ2xheQkwLjQyLDAuNTE=",
    "Mwlzb2lsCTIwMjQtMDUtMDIJTG9hbQkwLjMxLDAuNDU=",
    "OQlzYW5kCTIwMjMtMTEtMTcJU2FuZHlCZWFjaE1peAkwLjEy",
};
// Stored in name order: "alpha", "Beta,2", "Gamma 3". No text holds the prompt character.
constexpr const char* kEqnRecords[] = {
    "alpha y=0.5*x+1.2",
    "Beta`2 y=x^2-3 (fit 2023)",
    "Gamma_3 y=log(x); x=1..9",
};

const InstrumentProfile kProfiles[] = {
    {"QMINI", "1.25", true, kQmini, Count(kQmini), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"TM", "2.10", false, kTm, Count(kTm), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"CZ40", "2.05", false, kCz40, Count(kCz40), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"SZ", "1.40", false, kSz, Count(kSz), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"SORB", "1.12", false, kSorb, Count(kSorb), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"QS7", "3.55", true, kQs7, Count(kQs7), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"MCD", "1.07", false, kMcd, Count(kMcd), nullptr, 0, nullptr, 0, nullptr, 0, false},
    {"HV", "1.31", false, kHv, Count(kHv), kHvCal, 3, nullptr, 0, nullptr, 0, false},
    {"QE8", "1.64", true, kQe8, Count(kQe8), nullptr, 0, kUserRecords, 3, kEqnRecords, 3, true},
    {"QVX", "2.02", false, kQvx, Count(kQvx), nullptr, 0, kUserRecords, 3, nullptr, 0, false},
    {"HYP9", "1.03", true, kHyp9, Count(kHyp9), nullptr, 0, nullptr, 0, nullptr, 0, false},
};
// clang-format on

}  // namespace

const InstrumentProfile* FindInstrumentProfile(std::string_view code) {
    for (const InstrumentProfile& p : kProfiles) {
        if (code == p.code) return &p;
    }
    return nullptr;
}

const InstrumentProfile* InstrumentProfiles(size_t* count) {
    *count = sizeof kProfiles / sizeof kProfiles[0];
    return kProfiles;
}

}  // namespace korrsim
