// Record sets read from the settings file's text ("user00", "eqn00", ...).
#include "common/FixedText.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/InstrumentLog.h"
#include "instrument/Korr_protocol.h"
#include "instrument/RecordTypes.h"

namespace korr {

namespace {

constexpr int32_t kMostFileRecords = 100;  // two-digit indexes

void RecordKey(char (&key)[16], const RecordTypeRow& row, int32_t index) {
    FormatText(key, sizeof key, "%s%02d", row.word, static_cast<int>(index));
}

// Keys in a row from index 0; the first one missing ends the count.
int32_t CountFileRecords(const char* fileText, const RecordTypeRow& row) {
    int32_t count = 0;
    char key[16];
    for (; count < kMostFileRecords; ++count) {
        RecordKey(key, row, count);
        if (!FindFileValue(fileText, key)) break;
    }
    return count;
}

}  // namespace

int32_t Korr_protocol::GetRecords_File(RecordSet& set, int type, const char* fileText) {
    const RecordTypeRow* row = FindRecordType(type);
    if (row == nullptr) {
        INST_LOG(LOG_INFO, "GetRecords_File found an unexpected record type \"%d\"", type);
        return -11;
    }
    if (set.records) {
        set.records.reset();
        INST_LOG(LOG_INFO, "GetRecords_File found a non-null \"%s\" set", row->word);
    }
    set.count = 0;
    const int32_t count = fileText != nullptr ? CountFileRecords(fileText, *row) : 0;
    if (count == 0) {
        INST_LOG(LOG_INFO, "GetRecords_File found no \"%s\" records in instrument", row->word);
        return 0;
    }
    set.records = AllocateRecords(count);
    if (!set.records) {
        INST_LOG(LOG_INFO, "GetRecords_File couldn't allocate memory for %d records", count);
        return -60;
    }
    int32_t read = 0;
    char key[16];
    for (; read < count; ++read) {
        RecordKey(key, *row, read);
        NamedRecord& record = set.records[read];
        if (!GetFileString(fileText, key, record.text, kRecordTextCapacity - 1)) break;
        INST_LOG(LOG_INFO, "GetRecords_File found \"%s\" %d as \"%s\"", row->word,
                 static_cast<int>(read), record.text);
    }
    INST_LOG(LOG_INFO, "GetRecords_File retrieved %d of %d \"%s\" records", read, count, row->word);
    set.count = read;
    return 1;
}

}  // namespace korr
