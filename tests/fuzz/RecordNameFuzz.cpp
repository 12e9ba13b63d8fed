// Whatever a record's text holds, deriving its name reads only the record and leaves a
// terminated name that fits the field. The first byte picks the record type.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/FixedText.h"
#include "fuzz/FuzzChecks.h"
#include "instrument/Korr_protocol.h"

using korrtest::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int type = (data[0] & 1) ? korr::kRecordUser : korr::kRecordEqn;
    ++data;
    --size;
    // The record's text exactly as long as the input (up to the field), with no NUL after it
    // beyond the field's own end, so a read past the text shows.
    korr::RecordSet set;
    set.count = 1;
    set.records = std::make_unique<korr::NamedRecord[]>(1);
    korr::NamedRecord& record = set.records[0];
    size_t n = size < korr::kRecordTextCapacity - 1 ? size : korr::kRecordTextCapacity - 1;
    std::memcpy(record.text, data, n);
    korr::Korr_protocol p(nullptr);
    Check(p.ExtractNames(set, type) == 1);
    Check(std::memchr(record.name, '\0', sizeof record.name) != nullptr);
    Check(std::strlen(record.name) <= (type == korr::kRecordUser ? 9u : 20u));
    uint8_t bytes[3];
    if (size >= 4) korr::DecodeBase64Quad(reinterpret_cast<const char*>(data), bytes);
    return 0;
}
