#include "device/MORVA_Protocol.h"

#include <cstring>

#include "common/FixedText.h"
#include "device/LinkLog.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kMaxTries = 12;
constexpr uint32_t kDefaultSerialTries = 3;
constexpr uint32_t kDefaultRadioTries = 5;
constexpr int8_t kMaxTraceLevel = 3;
constexpr uint32_t kMaxExtraWaitMs = 30000;
constexpr uint32_t kSilentRetryPauseMs = 50;

constexpr uint32_t kBaudRates[] = {0, 1200, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

}  // namespace

void LoggableCommand(const char* command, char* out, size_t capacity) {
    static constexpr const char* kSecretCommands[] = {"set -passwd ", "set -authkey "};
    for (const char* prefix : kSecretCommands) {
        if (std::strncmp(command, prefix, std::strlen(prefix)) == 0) {
            FormatText(out, capacity, "%s%s\r", prefix, kMaskedSecret);
            return;
        }
    }
    CopyText(out, capacity, command);
}

uint32_t BaudIndexToRate(uint8_t index) {
    return index < sizeof kBaudRates / sizeof kBaudRates[0] ? kBaudRates[index] : 0;
}

MORVA_Protocol::MORVA_Protocol(KorrLog* logTo) : port(logTo), log(logTo) {
    replyBuffer.reset(new (std::nothrow) char[kReplyBufferSize]);
    readBuffer.reset(new (std::nothrow) char[kReadBufferSize]);
    if (!replyBuffer || !readBuffer) {
        status = -60;
        return;
    }
    replyBuffer[0] = '\0';
    readBuffer[0] = '\0';
    port.readBuffer = readBuffer.get();
}

MORVA_Protocol::~MORVA_Protocol() {
    if (request.linkType != kLinkClosed) {
        options.keepPortOpen = 0;
        DisconnectDevice(false);
    }
    KSClose(port);
    port.readBuffer = nullptr;
}

bool MORVA_Protocol::CallProgress(uint32_t total, uint32_t done, int phase) {
    if (!options.progressHookOn || !progressHook) return true;
    return progressHook(total, done, phase);
}

void MORVA_Protocol::Trace(int direction, const char* text) {
    if (traceHook && (options.traceLevel == direction || options.traceLevel == 3)) traceHook(text);
}

int32_t MORVA_Protocol::ConfigureLink(LinkOptions* linkOptions, bool set) {
    if (linkOptions == nullptr) return -10;
    if (!set) {
        *linkOptions = options;
        return 1;
    }
    if (linkOptions->serialTries > kMaxTries || linkOptions->radioTries > kMaxTries ||
        linkOptions->traceLevel < 0 || linkOptions->traceLevel > kMaxTraceLevel ||
        linkOptions->extraWaitMs > kMaxExtraWaitMs) {
        return -11;
    }
    options = *linkOptions;
    if (options.serialTries == 0) options.serialTries = kDefaultSerialTries;
    if (options.radioTries == 0) options.radioTries = kDefaultRadioTries;
    tries = IsRadioLink() ? options.radioTries : options.serialTries;
    return 1;
}

// An attempt that went unanswered may only have been slow: the answer just taken can be that
// attempt's, and the answer to the repeat is still on its way. Taken by the next command, it
// would shift every answer after it by one, so it is waited for and thrown away.
// The answer taken came that long after the first attempt; the repeat's comes about as long after
// the repeat.
void MORVA_Protocol::DrainLateAnswer(char terminator, uint32_t timeoutMs, uint32_t firstSentAt) {
    const uint32_t lateness = TickMs() - firstSentAt;
    KSWait(port, lateness + timeoutMs + options.extraWaitMs, terminator);
    KSPurge(port);
}

int32_t MORVA_Protocol::DeviceCommand(const char* command, char terminator, uint32_t timeoutMs,
                                      char* reply, uint32_t* replyCapacity, uint32_t* elapsedMs) {
    const uint32_t start = TickMs();
    if (command == nullptr) return -10;
    if (replyBuffer == nullptr) return -60;
    const uint32_t length = static_cast<uint32_t>(std::strlen(command));
    uint32_t silent = 0;
    uint32_t received = 0;
    int32_t result = 1;
    for (uint32_t attempt = 0; attempt < tries; ++attempt) {
        KSPurge(port);
        replyBuffer[0] = '\0';
        int32_t r = KSWrite(port, command, length);
        Trace(2, command);
        if (r < 0) {
            LINK_LOG(*this, LOG_VERBOSE,
                     "DeviceCommand got unexpected response (%d) from KCommWrite", r);
            result = r;
            break;
        }
        r = KSWait(port, timeoutMs + options.extraWaitMs, terminator);
        if (r < 0) {
            LINK_LOG(*this, LOG_VERBOSE,
                     "DeviceCommand got unexpected response (%d) from KCommWait", r);
            result = r;
            break;
        }
        r = KSRead(port, replyBuffer.get(), kReplyBufferSize - 1, &received);
        if (r < 0) {
            LINK_LOG(*this, LOG_VERBOSE,
                     "DeviceCommand got unexpected response (%d) from KCommRead", r);
            result = r;
            break;
        }
        if (received == 0) {
            ++silent;
            SleepMs(kSilentRetryPauseMs);
            result = -22;
            continue;
        }
        replyBuffer[received] = '\0';
        Trace(1, replyBuffer.get());
        if (std::strstr(replyBuffer.get(), command) != nullptr) {
            LINK_LOG(*this, LOG_ERROR,
                     "DeviceCommand is hearing echoed commands -- device is broken? Relay active?");
            result = -32;
            break;
        }
        if (std::strstr(replyBuffer.get(), "ERROR") != nullptr ||
            std::strchr(replyBuffer.get(), '?') != nullptr ||
            std::strstr(replyBuffer.get(), "Unsupported") != nullptr) {
            result = -34;
            continue;
        }
        result = 1;
        break;
    }
    if (result == 1 && silent > 0) DrainLateAnswer(terminator, timeoutMs, start);
    const uint32_t elapsed = TickMs() - start;
    if (elapsedMs != nullptr) *elapsedMs = elapsed;
    if (silent == tries && tries > 0) result = -21;
    if (result < 0) {
        if (reply != nullptr) reply[0] = '\0';
        if (replyCapacity != nullptr) *replyCapacity = 0;
        return result;
    }
    if (reply != nullptr && replyCapacity != nullptr && *replyCapacity > 0) {
        size_t copied = CopyText(reply, *replyCapacity, replyBuffer.get());
        *replyCapacity = static_cast<uint32_t>(copied);
        if (copied < received) {
            char shown[256];
            LoggableCommand(command, shown, sizeof shown);
            LINK_LOG(*this, LOG_VERBOSE, "DeviceCommand got %d more bytes than expected (%s)",
                     static_cast<int>(received - copied), shown);
        }
    }
    if (std::strncmp(replyBuffer.get(), "\r\r>", 3) == 0) {
        LINK_LOG(*this, LOG_VERBOSE, "DeviceCommand: device returned empty answer");
        return -31;
    }
    return static_cast<int32_t>(received);
}

}  // namespace korr
