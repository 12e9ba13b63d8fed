#pragma once
// Numbered record lists that some instruments keep besides their single settings: "user"
// records (base64 text) and "eqn" (equation) records.

#include <cstdint>
#include <memory>

namespace korr {

inline constexpr int kRecordEqn = 1;   // "eqn"
inline constexpr int kRecordUser = 2;  // "user"

inline constexpr size_t kRecordNameCapacity = 33;
inline constexpr size_t kRecordTextCapacity = 101;

struct NamedRecord {
    char name[kRecordNameCapacity] = {};  // display name, derived by ExtractNames
    char text[kRecordTextCapacity] = {};  // the record as the instrument stores it
};

// A counted, owned array; an empty set has count 0 and no array.
struct RecordSet {
    int32_t count = 0;
    std::unique_ptr<NamedRecord[]> records;
};

}  // namespace korr
