// Record sets read from and written to the instrument over the link.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentReplies.h"
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

// The count the instrument reports, or the type's guess when it does not tell (`reported`
// says which).
int32_t RecordCount(MORVA_Protocol& link, const RecordTypeRow& row, bool* reported) {
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
        if (end != reply && errno == 0) {
            count = n < 0 ? 0 : n > kMostRecords ? kMostRecords : n;
            *reported = true;
        }
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
    bool reported = false;
    const int32_t count = RecordCount(*link, *row, &reported);
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
    int32_t failure = 1;
    for (; read < count; ++read) {
        char command[32];
        FormatText(command, sizeof command, "get -%s %d", row->word, static_cast<int>(read));
        NamedRecord& record = set.records[read];
        // Only a record with text counts: an empty one would end the upload early.
        failure = GetValueString(command, kRecordTimeoutMs, record.text, kRecordTextCapacity - 1);
        if (failure <= 0) {
            record.text[0] = '\0';
            break;
        }
    }
    INST_LOG(LOG_INFO, "GetRecords_Serial retrieved %d of %d \"%s\" records", read, count,
             row->word);
    set.count = read;
    // Without a count the list simply ends; short of a count the instrument gave, records were
    // lost. The ones read are kept either way.
    if (!reported || read == count) return 1;
    if (read == 0) return failure < 0 ? failure : -30;
    return -35;
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
    int32_t written = 0;
    int32_t sent = 0;
    int32_t failure = 0;
    for (int32_t i = 0; i < set.count && set.records[i].text[0] != '\0'; ++i) {
        const NamedRecord& record = set.records[i];
        char command[kRecordCommandCapacity];
        FormatText(command, sizeof command, "set -%s %d %s\r", row->word, static_cast<int>(i),
                   record.text);
        char reply[kShortReply] = {};
        uint32_t capacity = sizeof reply;
        uint32_t elapsed = 0;
        const int32_t r = SetReplyResult(
            link->DeviceCommand(command, '>', kUploadTimeoutMs, reply, &capacity, &elapsed), reply);
        ++sent;
        // A record the instrument refuses does not stop the others.
        if (r > 0) {
            ++written;
            if (r == 1) {
                INST_LOG(LOG_INFO, "SetRecords_Serial set \"%s\" %d to \"%s\" (%d ms)",
                         row->word, static_cast<int>(i), record.text, static_cast<int>(elapsed));
            }
        } else {
            failure = r < 0 ? r : -21;
            INST_LOG(LOG_INFO, "SetRecords_Serial could not set \"%s\" %d (error %d, %d ms)",
                     row->word, static_cast<int>(i), failure, static_cast<int>(elapsed));
        }
    }
    if (written == sent) return 1;
    return written == 0 ? failure : -35;
}

}  // namespace korr
