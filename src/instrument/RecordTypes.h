#pragma once
// The two record types as data: the word used in commands, file keys and messages, and how many
// records to try when the instrument does not tell its count.

#include <cstdint>

#include "instrument/RecordSet.h"

namespace korr {

struct RecordTypeRow {
    int type;
    const char* word;
    int32_t countWhenUnknown;
};

inline constexpr RecordTypeRow kRecordTypes[] = {
    {.type = kRecordEqn, .word = "eqn", .countWhenUnknown = 100},
    {.type = kRecordUser, .word = "user", .countWhenUnknown = 25},
};

// The row of a record type; null for any other number.
constexpr const RecordTypeRow* FindRecordType(int type) {
    for (const RecordTypeRow& row : kRecordTypes) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

// A zero-filled array of count records; null when the memory cannot be had.
std::unique_ptr<NamedRecord[]> AllocateRecords(int32_t count);

}  // namespace korr
