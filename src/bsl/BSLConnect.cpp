// Starting the loader through the instrument's firmware, attaching to it, and finding one that
// is already running.

#include <cstdio>
#include <cstring>

#include "bsl/KorrBSLHost.h"
#include "common/FixedText.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kTag = "KorrBSL";
constexpr uint32_t kFirmwareBaud = 9600;  // the instrument's firmware always talks at 9600
constexpr const char* kBootWord = "VLUX";
constexpr uint32_t kSettleMs = 1000;
constexpr uint32_t kBootReplyMs = 750;
constexpr uint32_t kSyncReplyMs = 100;
constexpr uint32_t kCheckReplyMs = 200;
constexpr uint32_t kRetryPauseMs = 175;
constexpr size_t kHandshakeCapacity = 32;  // 31 characters and the NUL

// One read of up to 31 characters into a terminated buffer; the read judges only these.
int32_t ReadHandshake(KorrSerial& port, char (&reply)[kHandshakeCapacity]) {
    std::memset(reply, 0, sizeof reply);
    uint32_t count = 0;
    int32_t r = KSRead(port, reply, kHandshakeCapacity - 1, &count);
    if (r < 0) return r;
    reply[count] = '\0';
    return static_cast<int32_t>(count);
}

int32_t WriteText(KorrSerial& port, const char* text) {
    int32_t r = KSWrite(port, text, static_cast<uint32_t>(std::strlen(text)));
    return r < 0 ? r : 0;
}

enum class BootReply { Refused, Missing, Active, Nothing, Accepted, Other };

// The firmware's answer to the boot command, judged in this order.
BootReply JudgeBootReply(const char* reply) {
    if (std::strstr(reply, "ERROR") != nullptr) return BootReply::Refused;
    if (std::strstr(reply, "KorrBSL MISSING") != nullptr) return BootReply::Missing;
    if (std::strchr(reply, '?') != nullptr) return BootReply::Active;
    if (reply[0] == '\0') return BootReply::Nothing;
    if (std::strstr(reply, "OK") != nullptr || std::strstr(reply, "$$") != nullptr)
        return BootReply::Accepted;
    return BootReply::Other;
}

// Logs the outcome; a loader that was already running counts as started.
int32_t InvocationDone(KorrLog* log, int32_t result, uint32_t attempt) {
    if (result > 0) {
        if (log != nullptr)
            log->Print(LOG_INFO, kTag, "BSLInvocation successful (%d tries)",
                       static_cast<int>(attempt + 1));
        return result;
    }
    if (result == -80) {
        if (log != nullptr)
            log->Print(LOG_INFO, kTag, "BSLInvocation found the KorrBSL already active");
        return 1;
    }
    if (log != nullptr) log->Print(LOG_ERROR, kTag, "BSLInvocation failed with error %d", result);
    return result;
}

}  // namespace

int32_t KorrBSLHost::BSLConnect(const char* portName, uint32_t baud, bool withProgress,
                                uint32_t retryCount) {
    if (portName == nullptr || portName[0] == '\0') return -10;
    progress = withProgress;
    retries = retryCount;
    loaderVersion = 0;  // an earlier instrument's version must not pass for this one's
    line.Clear();

    int32_t r = KSOpen(port, portName, kFirmwareBaud);
    if (r < 0) {
        // A port that opened but could not be set up must not stay locked.
        KSClose(port);
        if (log != nullptr)
            log->Print(LOG_ERROR, kTag, "BSLConnect received error while opening serial port (%d)",
                       r);
        return r;
    }
    connected = true;
    DelayMs(kSettleMs);

    int32_t result = 1;
    int32_t versionRead = 0;
    for (uint32_t attempt = 0; attempt < retries; ++attempt) {
        // Every attempt starts the whole handshake again, boot command included.
        r = BSLInvocation(baud);
        if (r < 0) r = AttachToListeningLoader(portName, baud, r);
        if (r < 0) {
            result = r;
            break;
        }
        char reply[kBSLReplyCapacity] = {};
        uint32_t elapsed = 0;
        r = BSLCommand('g', nullptr, 0, '\r', reply, &elapsed);
        if (r < 0 || std::strstr(reply, "ERROR") != nullptr) {
            result = r < 0 ? r : -110;
            DelayMs(kRetryPauseMs);
            continue;
        }
        // A version is a positive number: anything else in the reply must not pass for a
        // result code.
        int version = 0;
        if (std::sscanf(reply, "+%d+", &version) == 1 && version > 0) {
            loaderVersion = version;
            versionRead = version;
            result = version;
            break;
        }
    }

    if (result < 0) {
        BSLDisconnect();
        if (log != nullptr)
            log->Print(LOG_ERROR, kTag, "BSLConnect failed to connect to device (error %d)",
                       result);
        return result;
    }
    if (log != nullptr)
        log->Print(LOG_INFO, kTag, "BSLConnect connected to device running KorrBSL version %d",
                   versionRead);
    return result;
}

int32_t KorrBSLHost::BSLInvocation(uint32_t baud) {
    int32_t result = 1;
    uint32_t attempt = 0;
    char reply[kHandshakeCapacity];
    char boot[16];
    FormatText(boot, sizeof boot, "boot %s\r", kBootWord);

    // Phase 1: ask the firmware to jump into its loader.
    bool bootStopped = false;
    for (; attempt < retries; ++attempt) {
        KSPurge(port);
        std::memset(reply, 0, sizeof reply);
        if (baud != kFirmwareBaud) KSHostBaud(port, kFirmwareBaud);
        int32_t r = WriteText(port, boot);
        if (r < 0) return InvocationDone(log, r, attempt);
        DelayMs(kBootReplyMs);
        if ((r = ReadHandshake(port, reply)) < 0) return InvocationDone(log, r, attempt);
        switch (JudgeBootReply(reply)) {
            case BootReply::Refused:
                result = -110;
                DelayMs(kRetryPauseMs);
                continue;
            case BootReply::Missing:
                result = -112;
                break;
            case BootReply::Active:
                result = -80;
                break;
            case BootReply::Nothing:
                result = -112;
                DelayMs(kRetryPauseMs);
                continue;
            case BootReply::Accepted:
                result = 1;
                break;
            case BootReply::Other:
                break;  // the result stays what the last attempt made it
        }
        bootStopped = true;
        break;
    }
    // Only possible with no attempts at all: nothing was asked, so nothing can have started.
    if (!bootStopped && result > 0) result = -22;
    if (!bootStopped || result < 0) return InvocationDone(log, result, attempt);

    result = BSLSynchronise(baud, &attempt);
    return InvocationDone(log, result, attempt);
}

// A loader that waits for a host at a rate other than 9600 never hears the boot command, so the
// invocation finds nothing; it is woken at its own rate instead.
int32_t KorrBSLHost::AttachToListeningLoader(const char* portName, uint32_t baud,
                                             int32_t invocation) {
    const int32_t check = BSLCheck(portName, baud);
    if (check == -80) return 1;
    if (check != -81) return invocation;
    uint32_t attempt = 0;
    const int32_t r = BSLSynchronise(baud, &attempt);
    if (log != nullptr) {
        log->Print(r > 0 ? LOG_INFO : LOG_ERROR, kTag,
                   "BSLConnect woke the waiting KorrBSL at %u baud (%d)", baud, r);
    }
    return r;
}

int32_t KorrBSLHost::BSLSynchronise(uint32_t baud, uint32_t* attemptOut) {
    uint32_t attempt = 0;
    int32_t result = -112;
    char reply[kHandshakeCapacity];
    if (baud != kFirmwareBaud) KSHostBaud(port, baud);
    char connect[4];
    FormatText(connect, sizeof connect, "%c", 'P');
    for (attempt = 0; attempt < retries; ++attempt) {
        *attemptOut = attempt;
        int32_t r = WriteText(port, "\r");
        if (r < 0) return r;
        DelayMs(kSyncReplyMs);
        if ((r = ReadHandshake(port, reply)) < 0) return r;
        if (reply[0] != '$') {
            result = -112;
            continue;
        }
        KSPurge(port);
        if ((r = WriteText(port, connect)) < 0) return r;
        DelayMs(kSyncReplyMs);
        if ((r = ReadHandshake(port, reply)) < 0) return r;
        if (std::strchr(reply, '#') != nullptr) return 1;
        result = -110;
        DelayMs(kRetryPauseMs);
    }
    return result;
}

int32_t KorrBSLHost::BSLCheck(const char* portName, uint32_t baud) {
    if (connected) {
        KSHostBaud(port, baud);
    } else {
        int32_t r = KSOpen(port, portName, baud);
        if (r < 0) {
            KSClose(port);
            if (log != nullptr)
                log->Print(LOG_ERROR, kTag,
                           "BSLCheck received error while opening serial port (%d)", r);
            return r;
        }
        connected = true;
    }

    DelayMs(kSettleMs);
    KSPurge(port);
    char reply[kHandshakeCapacity] = {};
    int32_t r = WriteText(port, "\r");
    if (r < 0) return r;
    DelayMs(kCheckReplyMs);
    if ((r = ReadHandshake(port, reply)) < 0) return r;

    if (std::strchr(reply, '?') != nullptr) {
        if (log != nullptr) log->Print(LOG_INFO, kTag, "BSLCheck found the KorrBSL already active");
        return -80;
    }
    if (std::strchr(reply, '$') != nullptr) {
        if (log != nullptr)
            log->Print(LOG_INFO, kTag, "BSLCheck found the KorrBSL waiting for a connection");
        return -81;
    }
    if (log != nullptr)
        log->Print(LOG_VERBOSE, kTag, "BSLCheck didn't get a response from the KorrBSL");
    return -21;
}

}  // namespace korr
