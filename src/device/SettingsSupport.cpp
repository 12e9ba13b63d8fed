#include "device/SettingsSupport.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "serial/Clock.h"

namespace korr {

bool GateOpen(const MORVA_Protocol& link, Gate gate, uint32_t capability, bool write) {
    switch (gate) {
        case Gate::kNone:
            return true;
        case Gate::kCapability:
            return (link.settings.capabilities & capability) != 0;
        case Gate::kWriteNeedsNewSet:
            return !write || link.settings.newCommandSet != 0;
        case Gate::kModem:
            return TraitHasModem(link.settings.trait) == 1;
    }
    return false;
}

int32_t AskDevice(MORVA_Protocol& link, const char* command, char* reply, uint32_t capacity,
                  uint32_t timeoutMs, char terminator) {
    uint32_t length = capacity;
    uint32_t ms = 0;
    if (capacity > 0) reply[0] = '\0';
    return link.DeviceCommand(command, terminator, timeoutMs, reply, &length, &ms);
}

int32_t GetSetting(MORVA_Protocol& link, const char* key, char* reply, uint32_t capacity) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "get %s\r", key);
    return AskDevice(link, command, reply, capacity);
}

int32_t SendSet(MORVA_Protocol& link, const char* command, Confirm confirm, uint32_t capacity) {
    char reply[kReplyTextCapacity];
    if (capacity > sizeof reply) capacity = sizeof reply;
    int32_t r = AskDevice(link, command, reply, capacity);
    if (r < 0) return r;
    const bool ok = Contains(reply, "OK");
    const bool prompt = Contains(reply, "\r>");
    switch (confirm) {
        case Confirm::kOK:
            return ok ? 1 : -30;
        case Confirm::kOKOrPrompt:
            return ok || prompt ? 1 : -30;
        case Confirm::kPrompt:
            return prompt ? 1 : -30;
    }
    return -30;
}

const char* AfterFirstReturn(const char* reply) {
    const char* cr = std::strchr(reply, '\r');
    return cr != nullptr ? cr + 1 : reply;
}

const char* SkipSpace(const char* text) {
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
    return text;
}

int32_t TakeText(const char* from, char* out, uint32_t maxChars) {
    out[0] = '\0';
    if (*from == '>') return -31;
    uint32_t n = 0;
    while (n < maxChars && from[n] != '\0' && from[n] != '\r') {
        out[n] = from[n];
        ++n;
    }
    out[n] = '\0';
    return n > 0 ? 1 : -30;
}

bool TakeNumber(const char* from, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(from, &end, 10);
    if (end == from || errno == ERANGE || n < INT32_MIN || n > INT32_MAX) return false;
    *value = static_cast<int32_t>(n);
    return true;
}

bool Contains(const char* text, const char* what) {
    return std::strstr(text, what) != nullptr;
}

int32_t Finished(MORVA_Protocol& link, const char* logName, int32_t result, uint32_t start) {
    if (result < 0) {
        LINK_LOG(link, LOG_ERROR, "%s failed with error %d (%d ms)", logName, result,
                 ElapsedMs(start));
    }
    return result;
}

}  // namespace korr
