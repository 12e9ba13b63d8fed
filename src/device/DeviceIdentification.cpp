// Asking the device what it is: the version reply of current firmware, the "show" report of
// the oldest loggers, and the capabilities that follow from class and version.
#include "device/DeviceIdentification.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"

namespace korr {

namespace {

constexpr const char* kVerCommand = "get -ver\r";
constexpr uint32_t kVerTimeoutSerialMs = 360;
constexpr uint32_t kVerTimeoutRadioMs = 720;
constexpr uint32_t kVerReplyCapacity = 32;
constexpr uint32_t kVerExtraAttempts = 3;
constexpr uint32_t kVerRetryPauseMs = 360;
constexpr uint32_t kLoaderWaitPauseMs = 3000;
constexpr int kMaxBarePrompts = 3;
constexpr size_t kVersionTextMax = sizeof(DeviceSettingsRecord::versionText) - 1;

void UpperCase(char* text) {
    for (; *text != '\0'; ++text) {
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
    }
}

// The state of one VerCommand run.
struct VerRun {
    MORVA_Protocol& link;
    bool loginMode;
    uint32_t start;
    uint32_t timeoutMs;
    int32_t result = -30;
    int barePrompts = 0;
    bool rejectedOnce = false;
};

enum class Next { Retry, RestartCount, Stop, Done };

// A reply that holds a version line: "<code> <major>.<minor><sub>".
Next TakeVersionLine(VerRun& run, const char* text) {
    while (*text == '\r') ++text;
    const char* end = std::strchr(text, '\r');
    if (end == nullptr) {  // the line is not complete yet
        DelayMs(kVerRetryPauseMs);
        return Next::Retry;
    }
    DeviceSettingsRecord& s = run.link.settings;
    const size_t length = static_cast<size_t>(end - text);
    CopyText(s.versionText, text, length < kVersionTextMax ? length : kVersionTextMax);
    char code[sizeof s.versionText];
    int major = 0, minor = 0, sub = 0;
    int fields = std::sscanf(s.versionText, "%20s %d.%1d%1d", code, &major, &minor, &sub);
    if (fields < 3) {
        run.result = -30;
        DelayMs(kVerRetryPauseMs);
        return Next::Retry;
    }
    s.version = ComposeVersion(major, minor, fields > 3 ? sub : 0);
    s.newCommandSet = 1;
    UpperCase(code);
    s.deviceClass = FindDeviceClass(code);
    CopyText(s.className, DeviceClassName(s.deviceClass));
    UpdateCapabilities(s);
    LINK_LOG(run.link, LOG_VERBOSE, "VerCommand found \"%s\" ver %d (%d ms)", s.versionText,
             static_cast<int>(s.version), ElapsedMs(run.start));
    run.result = 1;
    return Next::Done;
}

// "get -ver" rejected: once may be noise, twice is the old firmware that does not know it.
Next TakeRejection(VerRun& run) {
    if (!run.rejectedOnce) {
        run.rejectedOnce = true;
        run.result = -30;
        DelayMs(kVerRetryPauseMs);
        return Next::Retry;
    }
    DeviceSettingsRecord& s = run.link.settings;
    s.newCommandSet = 0;
    s.deviceClass = kClassTr3;
    CopyText(s.className, DeviceClassName(kClassTr3));
    LINK_LOG(run.link, LOG_VERBOSE, "VerCommand found Tr3 with old firmware (%d ms)",
             ElapsedMs(run.start));
    run.result = 1;
    if (!run.loginMode) run.result = ParseShowCommand(run.link, nullptr);
    UpdateCapabilities(s);
    return Next::Done;
}

// Judges one answer to "get -ver".
Next JudgeVerReply(VerRun& run, int32_t r, const char* text) {
    const uint32_t tries = run.link.tries;
    if (tries == 1 && r == -21) {
        run.result = -21;
        return Next::Retry;
    }
    const bool hasText = r > 0 || r == -31 || r == -34;
    if (!hasText) {
        run.result = r;
        return r == -21 ? Next::Stop : Next::Retry;
    }
    if (r != -34 && text[0] != '\0' && text[1] == '>') {
        run.result = -32;  // a relay hands back our first character
        return Next::Retry;
    }
    if (r != -34 && (std::strcmp(text, "\r") == 0 || std::strcmp(text, ">") == 0)) {
        run.result = -30;
        if (++run.barePrompts >= kMaxBarePrompts) return Next::Stop;
        DelayMs(run.timeoutMs);
        return Next::RestartCount;
    }
    if (std::strchr(text, '.') != nullptr) return TakeVersionLine(run, text);
    if (std::strchr(text, '+') != nullptr) {
        while (*text == '\r') ++text;
        if (text[0] == '+' && std::strlen(text) >= 4) {  // the loader's banner "+%d+"
            run.result = -80;
            return Next::Stop;
        }
        return Next::Retry;
    }
    if (std::strchr(text, '$') != nullptr) {  // the loader's prompt while it waits for us
        if (run.result == -81) return Next::Stop;
        run.result = -81;
        DelayMs(kLoaderWaitPauseMs);
        return Next::Retry;
    }
    if (r == -34) return TakeRejection(run);
    run.result = -30;
    LINK_LOG(run.link, LOG_VERBOSE, "VerCommand couldn't deciper \"%s\" (%d ms)", text,
             ElapsedMs(run.start));
    return Next::Retry;
}

}  // namespace

uint8_t FindDeviceClass(const char* code) {
    if (code == nullptr) return kClassUnknown;
    for (const DeviceClassRow& row : kDeviceClasses) {
        if (row.replyCode != nullptr && std::strcmp(row.replyCode, code) == 0) {
            return row.deviceClass;
        }
    }
    return kClassUnknown;
}

const char* DeviceClassName(uint8_t deviceClass) {
    for (const DeviceClassRow& row : kDeviceClasses) {
        if (row.deviceClass == deviceClass) return row.name;
    }
    return kDeviceClasses[kClassUnknown].name;
}

int ScanVersionNumber(const char* text, int32_t* version) {
    int major = 0, minor = 0, sub = 0;
    int fields = text == nullptr ? 0 : std::sscanf(text, "%d.%1d%1d", &major, &minor, &sub);
    if (fields >= 2) *version = ComposeVersion(major, minor, fields > 2 ? sub : 0);
    return fields < 0 ? 0 : fields;
}

void UpdateCapabilities(DeviceSettingsRecord& settings) {
    settings.capabilities =
        ClassCapabilityMask(settings.deviceClass, settings.newCommandSet != 0, settings.version);
}

int32_t VerCommand(MORVA_Protocol& link, bool loginMode) {
    DeviceSettingsRecord& s = link.settings;
    if (s.deviceClass == kClassTr3 && !s.newCommandSet) return ParseShowCommand(link, nullptr);

    VerRun run{.link = link,
               .loginMode = loginMode,
               .start = TickMs(),
               .timeoutMs = link.IsRadioLink() ? kVerTimeoutRadioMs : kVerTimeoutSerialMs};
    const uint32_t attempts = link.tries + kVerExtraAttempts;
    for (uint32_t attempt = 0; attempt < attempts;) {
        char reply[kVerReplyCapacity];
        uint32_t capacity = sizeof reply;
        uint32_t ms = 0;
        int32_t r = link.DeviceCommand(kVerCommand, '>', run.timeoutMs, reply, &capacity, &ms);
        // A rejected command leaves the caller's copy empty; its text is in the raw reply.
        const char* text = r == -34 ? link.replyBuffer.get() : reply;
        Next next = JudgeVerReply(run, r, text);
        if (next == Next::Done) return run.result;  // identified (the show report logs its own)
        if (next == Next::Stop) break;
        // A bare prompt is a device still waking up: it gets a fresh count of attempts.
        attempt = next == Next::RestartCount ? 0 : attempt + 1;
    }
    if (run.result < 0) {
        LINK_LOG(link, LOG_ERROR, "VerCommand failed with error %d (%d ms)", run.result,
                 ElapsedMs(run.start));
        // Unidentified: every capability-gated command now refuses.
        s.newCommandSet = 0;
        s.deviceClass = kClassUnknown;
        s.className[0] = '\0';
        s.versionText[0] = '\0';
        s.version = 0;
        s.capabilities = 0;
    }
    return run.result;
}

}  // namespace korr
