#pragma once
// What each instrument type keeps in its settings memory, as it leaves a user's hands (field
// values) and as new firmware starts (factory values), with the version its firmware reports
// and whether it wants the access code. Written from the protocol description.

#include <cstddef>
#include <string_view>

namespace korrsim {

// "get -<key>" / "set -<key> <value>".
struct SettingSeed {
    const char* key;
    const char* field;    // what a used instrument holds
    const char* factory;  // what new firmware starts with
};

struct InstrumentProfile {
    const char* code;
    const char* version;  // the version text "get -ver" reports after the code
    bool accessCode;      // takes "login *8173" and "logout"
    const SettingSeed* settings;
    size_t settingCount;
    const char* const* cal;  // the calibration list "cal 0" ...
    size_t calCount;
    const char* const* user;  // "user" records (base64)
    size_t userCount;
    const char* const* eqn;  // "eqn" records
    size_t eqnCount;
    bool sensorCommand;  // knows "set -sensor N"
};

// The profile of an instrument type code ("QE8"), or null.
const InstrumentProfile* FindInstrumentProfile(std::string_view code);

// Every profile, for tables of tests and for the simulator's type list.
const InstrumentProfile* InstrumentProfiles(size_t* count);

inline constexpr const char* kInstrumentAccessCode = "*8173";

}  // namespace korrsim
