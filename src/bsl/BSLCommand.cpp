#include <cstring>

#include "bsl/KorrBSLHost.h"
#include "common/FixedText.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kTag = "KorrBSL";
constexpr uint32_t kReplyWaitMs = 1000;
constexpr uint32_t kReplyChars = kBSLReplyCapacity - 1;

LoaderReply JudgeReply(const char* reply, uint32_t received, int32_t transportError) {
    if (received == 0) return LoaderReply::Silent;
    if (reply[0] == '+' || (received > 1 && reply[1] == '+')) return LoaderReply::Accepted;
    if (reply[0] == '-' || reply[0] == '?') return LoaderReply::Refused;
    return transportError < 0 ? LoaderReply::PortFailed : LoaderReply::Garbled;
}

// A garbled answer keeps the code of a refusal that callers have always seen; the kind it was
// is kept in the host's line record.
int32_t ResultOf(LoaderReply kind, uint32_t received, int32_t transportError) {
    switch (kind) {
        case LoaderReply::Accepted:
            return static_cast<int32_t>(received);
        case LoaderReply::Silent:
            return -21;
        case LoaderReply::PortFailed:
            return transportError;
        case LoaderReply::Refused:
        case LoaderReply::Garbled:
            break;
    }
    return -1;
}

}  // namespace

uint32_t BSLCheckValue(const char* letterAndFields, size_t length) {
    uint32_t sum = '.';
    for (size_t i = 0; i < length; ++i) sum += static_cast<unsigned char>(letterAndFields[i]);
    return sum % 0xFFFF;
}

int32_t KorrBSLHost::BSLCommand(char command, const char* payload, uint32_t length, char terminator,
                                char* reply, uint32_t* elapsedMs) {
    if (!connected) return -21;
    if (length > kBSLMaxPayload) return -11;
    if (reply == nullptr || (payload == nullptr && command != 'g')) return -10;
    if (payload == nullptr) length = 0;
    // A payload shorter than its stated length ends at its NUL.
    length = static_cast<uint32_t>(strnlen(payload != nullptr ? payload : "", length));

    char fields[kBSLMaxPayload + 1];
    CopyText(fields, payload != nullptr ? payload : "", length);
    return Exchange(command, fields, terminator, reply, elapsedMs);
}

int32_t KorrBSLHost::BSLCommand(char command, const uint32_t* numbers, uint32_t count,
                                char terminator, char* reply, uint32_t* elapsedMs, bool fiveDigit) {
    if (!connected) return -21;
    if (count > kBSLMaxNumbers) return -11;
    if (count > 0 && numbers == nullptr) return -10;

    // A value wider than its field would reach the loader as another number (or overrun the
    // frame): refuse it rather than erase or write somewhere else.
    const uint32_t widest = fiveDigit ? 0xFFFFFu : 0xFFFFu;
    for (uint32_t i = 0; i < count; ++i) {
        if (numbers[i] > widest) return -11;
    }
    char fields[kBSLMaxNumbers * 5 + 1] = {};
    size_t used = 0;
    for (uint32_t i = 0; i < count; ++i) {
        used += FormatText(fields + used, sizeof fields - used, fiveDigit ? "%05X" : "%04X",
                           numbers[i]);
    }
    return Exchange(command, fields, terminator, reply, elapsedMs);
}

int32_t KorrBSLHost::Exchange(char command, const char* fields, char terminator, char* reply,
                              uint32_t* elapsedMs) {
    char* frame = frameBuffer.data();
    size_t n = FormatText(frame, frameBuffer.size(), "%c%s", command, fields);
    n += FormatText(frame + n, frameBuffer.size() - n, "%c%04X\r", '.', BSLCheckValue(frame, n));

    char localReply[kBSLReplyCapacity];
    if (reply == nullptr) reply = localReply;
    const uint32_t start = TickMs();
    KSPurge(port);

    int32_t transportError = 0;
    uint32_t received = 0;
    int32_t r = KSWrite(port, frame, static_cast<uint32_t>(n));
    if (r < 0) {
        transportError = r;
        if (log != nullptr)
            log->Print(LOG_ERROR, kTag, "BSLCommand got unexpected response (%d) from KCommWrite",
                       r);
    } else if ((r = KSWait(port, kReplyWaitMs, terminator)) < 0) {
        transportError = r;
        if (log != nullptr)
            log->Print(LOG_ERROR, kTag, "BSLCommand got unexpected response (%d) from KCommWait",
                       r);
    } else if ((r = KSRead(port, reply, kReplyChars, &received)) < 0) {
        // What was buffered before the port failed is still this exchange's reply.
        transportError = r;
        if (log != nullptr)
            log->Print(LOG_ERROR, kTag, "BSLCommand got unexpected response (%d) from KCommRead",
                       r);
    }
    reply[received] = '\0';
    if (elapsedMs != nullptr) *elapsedMs = TickMs() - start;
    const LoaderReply kind = JudgeReply(reply, received, transportError);
    line.Note(command, kind);
    return ResultOf(kind, received, transportError);
}

}  // namespace korr
