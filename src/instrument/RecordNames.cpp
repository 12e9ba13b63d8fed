// Record names: derived from the record texts, and the order they are uploaded in.
#include <cctype>
#include <cstring>
#include <new>
#include <utility>

#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/Korr_protocol.h"
#include "instrument/RecordTypes.h"

namespace korr {

namespace {

constexpr size_t kNameCompareDepth = 32;
constexpr size_t kEqnNameLength = 20;
constexpr size_t kUserNameLength = 9;
constexpr int kUserNameField = 3;  // the name follows the third tab
// Every group of four text characters gives three bytes; the last group may be short.
constexpr size_t kDecodedCapacity = (kRecordTextCapacity + 3) / 4 * 3 + 1;

// "_" stands for a blank and "`" for a comma in an equation's name.
void EqnName(NamedRecord& record) {
    size_t n = 0;
    while (n < kEqnNameLength && record.text[n] != '\0' && record.text[n] != ' ') {
        char c = record.text[n];
        record.name[n] = c == '_' ? ' ' : c == '`' ? ',' : c;
        ++n;
    }
    record.name[n] = '\0';
}

// The base64 text decoded and terminated; groups are read only within the text.
void DecodeUserText(const char* text, char (&decoded)[kDecodedCapacity]) {
    size_t length = strnlen(text, kRecordTextCapacity);
    size_t out = 0;
    for (size_t at = 0; at < length && out + 3 < kDecodedCapacity; at += 4) {
        char quad[4] = {};
        for (size_t k = 0; k < 4 && at + k < length; ++k) quad[k] = text[at + k];
        uint8_t bytes[3];
        DecodeBase64Quad(quad, bytes);
        for (uint8_t b : bytes) decoded[out++] = static_cast<char>(b);
    }
    decoded[out] = '\0';
}

// The fourth tab-separated field of the decoded record; empty when the record has fewer fields.
void UserName(NamedRecord& record) {
    char decoded[kDecodedCapacity];
    DecodeUserText(record.text, decoded);
    const char* field = decoded;
    for (int tabs = 0; tabs < kUserNameField; ++tabs) {
        field = std::strchr(field, '\t');
        if (field == nullptr) {
            record.name[0] = '\0';
            return;
        }
        ++field;
    }
    size_t n = std::strcspn(field, "\t");
    CopyText(record.name, field, n < kUserNameLength ? n : kUserNameLength);
}

int SixBits(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}

}  // namespace

void DecodeBase64Quad(const char* quad, uint8_t out[3]) {
    const int a = SixBits(quad[0]), b = SixBits(quad[1]), c = SixBits(quad[2]),
              d = SixBits(quad[3]);
    out[0] = static_cast<uint8_t>(a * 4 + b / 16);
    out[1] = static_cast<uint8_t>((b * 16 + c / 4) % 256);
    out[2] = static_cast<uint8_t>((c * 64 + d) % 256);
}

bool RecordNameLess(const NamedRecord& a, const NamedRecord& b) {
    for (size_t i = 0; i < kNameCompareDepth; ++i) {
        if (a.name[i] == '\0') return true;
        if (b.name[i] == '\0') return false;
        const int ua = std::toupper(static_cast<unsigned char>(a.name[i]));
        const int ub = std::toupper(static_cast<unsigned char>(b.name[i]));
        if (ua != ub) return ua < ub;
    }
    return false;
}

std::unique_ptr<NamedRecord[]> AllocateRecords(int32_t count) {
    if (count <= 0) return nullptr;
    return std::unique_ptr<NamedRecord[]>(new (std::nothrow) NamedRecord[count]());
}

int32_t Korr_protocol::ExtractNames(RecordSet& set, int type) {
    if (!set.records) {
        INST_LOG(LOG_INFO, "ExtractNames found an null record pointer");
        return -10;
    }
    if (type != kRecordEqn && type != kRecordUser) {
        INST_LOG(LOG_INFO, "ExtractNames found an unexpected record type \"%d\"", type);
        return -11;
    }
    for (int32_t i = 0; i < set.count; ++i) {
        if (type == kRecordEqn) {
            EqnName(set.records[i]);
        } else {
            UserName(set.records[i]);
        }
    }
    return 1;
}

// Insertion sort: a record whose name equals earlier ones moves ahead of them all.
int32_t Korr_protocol::AlphabetizeRecords(RecordSet& set, int type) {
    if (FindRecordType(type) == nullptr) {
        INST_LOG(LOG_INFO, "AlphabetizeRecords found an unexpected record type \"%d\"", type);
        return -11;
    }
    ExtractNames(set, type);
    NamedRecord* records = set.records.get();
    for (int32_t i = 1; records != nullptr && i < set.count; ++i) {
        if (!RecordNameLess(records[i], records[i - 1])) continue;
        NamedRecord lifted = records[i];
        int32_t gap = i;
        while (gap > 0 && RecordNameLess(lifted, records[gap - 1])) {
            records[gap] = records[gap - 1];
            --gap;
        }
        records[gap] = lifted;
    }
    return 1;
}

}  // namespace korr
