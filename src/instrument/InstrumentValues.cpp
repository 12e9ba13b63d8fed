// The two single-value queries of the instrument settings: a text ("get -sn") and a number
// ("get -lang"), each asked up to three times.
#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentReplies.h"

namespace korr {

namespace {

constexpr int kValueTries = 3;
constexpr size_t kValueCommandCapacity = 512;
constexpr uint32_t kValueReplyCapacity = 512;

// "command\r"; false when the command is missing or does not fit.
bool FormatValueCommand(const char* command, char (&out)[kValueCommandCapacity]) {
    if (command == nullptr || command[0] == '\0') return false;
    const size_t n = FormatText(out, sizeof out, "%s\r", command);
    return n > 0 && out[n - 1] == '\r';
}

}  // namespace

int32_t Korr_protocol::GetValueString(const char* command, uint32_t timeoutMs, char* value,
                                      size_t capacity) {
    char sent[kValueCommandCapacity];
    if (value == nullptr || capacity == 0 || !FormatValueCommand(command, sent)) return -10;
    value[0] = '\0';
    int32_t result = 0;
    uint32_t ms = 0;
    for (int attempt = 0; attempt < kValueTries; ++attempt) {
        char reply[kValueReplyCapacity] = {};
        uint32_t length = sizeof reply;
        result = link->DeviceCommand(sent, '>', timeoutMs, reply, &length, &ms);
        if (result <= 0) continue;
        const TextReply found = TextValueFromReply(reply, value, capacity);
        if (found == TextReply::Value) {
            result = 1;
            break;
        }
        result = -30;
        if (found == TextReply::LeadingPrompt) {
            INST_LOG(LOG_INFO,
                     "GetValueString found a leading prompt character executing command \"%s\" "
                     "(%d ms)",
                     command, static_cast<int>(ms));
        }
    }
    if (result == 1) {
        INST_LOG(LOG_INFO, "GetValueString found %s \"%s\" (%d ms)", command, value,
                 static_cast<int>(ms));
    } else {
        value[0] = '\0';
        INST_LOG(LOG_INFO, "GetValueString received error %d executing command \"%s\" (%d ms)",
                 result, command, static_cast<int>(ms));
    }
    return result;
}

int32_t Korr_protocol::GetValueLong(const char* command, uint32_t timeoutMs, int32_t* value) {
    char sent[kValueCommandCapacity];
    if (value == nullptr || !FormatValueCommand(command, sent)) return -10;
    int32_t result = 0;
    uint32_t ms = 0;
    for (int attempt = 0; attempt < kValueTries; ++attempt) {
        char reply[kValueReplyCapacity] = {};
        uint32_t length = sizeof reply;
        result = link->DeviceCommand(sent, '>', timeoutMs, reply, &length, &ms);
        if (result <= 0) continue;
        if (LongValueFromReply(reply, value)) {
            result = 1;
            break;
        }
        result = -30;
    }
    if (result == 1) {
        INST_LOG(LOG_INFO, "GetValueLong found %s \"%ld\" (%d ms)", command,
                 static_cast<long>(*value), static_cast<int>(ms));
    } else {
        INST_LOG(LOG_INFO, "GetValueLong received error %d executing command \"%s\" (%d ms)",
                 result, command, static_cast<int>(ms));
    }
    return result;
}

}  // namespace korr
