// Record sets read from and written to the instrument over the link.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/Korr_protocol.h"
#include "instrument/RecordTypes.h"

namespace korr {

namespace {

constexpr uint32_t kCountTimeoutMs = 2000;
constexpr uint32_t kRecordTimeoutMs = 1000;
constexpr uint32_t kUploadTimeoutMs = 2000;
constexpr size_t kShortReply = 32;
constexpr size_t kRecordCommandCapacity = 128;
// The settings file numbers records with two digits, so it keeps at most 100 of each type.
constexpr int32_t kMostRecords = 100;

// The count the instrument reports, or the type's guess when it does not tell.
int32_t RecordCount(MORVA_Protocol& link, const RecordTypeRow& row) {
    char command[32];
    FormatText(command, sizeof command, "get -%s\r", row.word);
    char reply[kShortReply] = {};
    uint32_t capacity = sizeof reply;
    uint32_t elapsed = 0;
    int32_t count = row.countWhenUnknown;
    if (link.DeviceCommand(command, '>', kCountTimeoutMs, reply, &capacity, &elapsed) > 0) {
        char* end = nullptr;
        errno = 0;
        long n = std::strtol(reply, &end, 10);
        if (end != reply && errno == 0) count = n < 0 ? 0 : n > kMostRecords ? kMostRecords : n;
    }
    return count;
}

}  // namespace

int32_t Korr_protocol::GetRecords_Serial(RecordSet& set, int type) {
    const RecordTypeRow* row = FindRecordType(type);
    if (row == nullptr) {
        INST_LOG(LOG_INFO, "GetRecords_Serial found an unexpected record type \"%d\"", type);
        return -11;
    }
    if (set.records) {
        INST_LOG(LOG_INFO, "GetRecords_Serial found a non-null \"%s\" set", row->word);
        set.records.reset();
    }
    set.count = 0;
    const int32_t count = RecordCount(*link, *row);
    if (count == 0) {
        INST_LOG(LOG_INFO, "GetRecords_Serial found no \"%s\" records in instrument", row->word);
        return 0;
    }
    INST_LOG(LOG_INFO, "GetRecords_Serial instrument reports %d \"%s\" records", count, row->word);
    set.records = AllocateRecords(count);
    if (!set.records) {
        INST_LOG(LOG_INFO, "GetRecords_Serial couldn't allocate memory for %d records", count);
        return -60;
    }
    int32_t read = 0;
    for (; read < count; ++read) {
        char command[32];
        FormatText(command, sizeof command, "get -%s %d", row->word, static_cast<int>(read));
        NamedRecord& record = set.records[read];
        // Only a record with text counts: an empty one would end the upload early.
        if (GetValueString(command, kRecordTimeoutMs, record.text, kRecordTextCapacity - 1) <= 0) {
            record.text[0] = '\0';
            break;
        }
    }
    INST_LOG(LOG_INFO, "GetRecords_Serial retrieved %d of %d \"%s\" records", read, count,
             row->word);
    set.count = read;
    return 1;
}

int32_t Korr_protocol::SetRecords_Serial(RecordSet& set, int type) {
    const RecordTypeRow* row = FindRecordType(type);
    if (row == nullptr) {
        INST_LOG(LOG_INFO, "SetRecords_Serial found an unexpected record type \"%d\"", type);
        return -11;
    }
    if (set.count <= 0 || !set.records) {
        INST_LOG(LOG_INFO, "SetRecords_Serial found an empty \"%s\" set", row->word);
        return 0;
    }
    AlphabetizeRecords(set, type);
    for (int32_t i = 0; i < set.count && set.records[i].text[0] != '\0'; ++i) {
        const NamedRecord& record = set.records[i];
        char command[kRecordCommandCapacity];
        FormatText(command, sizeof command, "set -%s %d %s\r", row->word, static_cast<int>(i),
                   record.text);
        char reply[kShortReply] = {};
        uint32_t capacity = sizeof reply;
        uint32_t elapsed = 0;
        int32_t r = link->DeviceCommand(command, '>', kUploadTimeoutMs, reply, &capacity, &elapsed);
        // A record the instrument refuses does not stop the others.
        if (r > 0 && std::strstr(reply, "OK") != nullptr) {
            INST_LOG(LOG_INFO, "SetRecords_Serial set \"%s\" %d to \"%s\" (%d ms)", row->word,
                     static_cast<int>(i), record.text, static_cast<int>(elapsed));
        }
    }
    return 1;
}

}  // namespace korr
