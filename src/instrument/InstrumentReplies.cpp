#include "instrument/InstrumentReplies.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"

namespace korr {

namespace {

// strtol with the range of a 32-bit value: a longer number is no number.
bool ToInt32(const char* text, int32_t* value) {
    int64_t wide = 0;
    if (!ParseDecimal(text, &wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
    *value = static_cast<int32_t>(wide);
    return true;
}

}  // namespace

int32_t SetReplyResult(int32_t exchange, const char* reply) {
    if (exchange <= 0) return exchange;
    if (std::strstr(reply, "OK") != nullptr) return 1;
    if (std::strstr(reply, "Error") != nullptr) return -34;
    return exchange;
}

bool ParseDecimal(const char* text, int64_t* value) {
    if (text == nullptr) return false;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE) return false;
    *value = n;
    return true;
}

TextReply TextValueFromReply(const char* reply, char* value, size_t capacity) {
    if (capacity > 0) value[0] = '\0';
    if (std::strstr(reply, "Error") != nullptr) return TextReply::Refused;
    const char* start = reply;
    if (*start == '\r') ++start;
    if (*start == '\n') ++start;
    if (*start == '>') return TextReply::LeadingPrompt;
    const size_t length = std::strcspn(start, "\r");
    CopyText(value, capacity, start, length);
    return value[0] != '\0' ? TextReply::Value : TextReply::Empty;
}

bool LongValueFromReply(const char* reply, int32_t* value) {
    const char* lineEnd = std::strchr(reply, '\r');
    const char* start = lineEnd != nullptr ? lineEnd + 1 : reply;
    if (*start == '\n') ++start;
    return ToInt32(start, value);
}

bool LeadingIntFromReply(const char* reply, int32_t* value) {
    return ToInt32(reply, value);
}

}  // namespace korr
