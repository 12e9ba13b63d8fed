// Finding, waking and logging into a device: the radio devices sleep and answer only their name.
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"

namespace korr {

namespace {

constexpr const char* kQuery = "\rquery\r";
constexpr uint32_t kQueryTimeoutMs = 3000;
constexpr uint32_t kQueryNameCapacity = 180;
constexpr uint32_t kAfterQueryMs = 2500;  // the device needs a moment before the next command

constexpr uint32_t kWakePackets = 909;
constexpr uint32_t kWakePauseMs = 55;
constexpr uint32_t kWakeReportEvery = 18;

constexpr uint32_t kLoginTimeoutMs = 1000;
constexpr uint32_t kLoginReplyCapacity = 10;
constexpr size_t kMaxDeviceName = kDeviceNameCapacity - 1;

enum ProgressPhase { kPhaseProgress = 1, kPhaseFinished = 2, kPhaseQuery = 4 };

}  // namespace

int32_t MORVA_Protocol::QueryCommand(char* buffer, uint32_t mode) {
    if (mode == 0 || buffer == nullptr) return -10;
    const uint32_t start = TickMs();
    const uint32_t attempts = tries;
    tries = 1;  // each exchange is one attempt; this loop does the retrying
    int32_t result = -21;
    for (uint32_t attempt = 0; attempt < attempts; ++attempt) {
        if (!CallProgress(attempts, attempt, kPhaseQuery)) {
            result = -40;
            break;
        }
        if (mode == 1) {
            char reply[kQueryNameCapacity];
            uint32_t capacity = sizeof reply;
            uint32_t ms = 0;
            result = DeviceCommand(kQuery, '\r', kQueryTimeoutMs, reply, &capacity, &ms);
            if (result > 0) {
                // The name is what comes before the first carriage return.
                reply[std::strcspn(reply, "\r")] = '\0';
                CopyText(buffer, kDeviceNameCapacity, reply, kMaxDeviceName);
                if (CheckDeviceName(buffer) == 1) break;
            }
        } else {
            uint32_t capacity = mode;
            uint32_t ms = 0;
            result = DeviceCommand(kQuery, '>', kQueryTimeoutMs, buffer, &capacity, &ms);
            if (result > 0) break;
        }
        if (result == -32) break;
    }
    tries = attempts;

    if (result > 0) {
        LINK_LOG(*this, LOG_VERBOSE, "QueryCommand heard from: %s (%d ms)", buffer,
                 ElapsedMs(start));
        DelayMs(kAfterQueryMs);
        return 1;
    }
    switch (result) {
        case -40:
            LINK_LOG(*this, LOG_VERBOSE, "QueryCommand canceled by user");
            return -40;
        case -32:
            LINK_LOG(*this, LOG_ERROR,
                     "QueryCommand is hearing \"query\" -- a relay must be active (%d ms)",
                     ElapsedMs(start));
            return -33;
        case -21:
            LINK_LOG(*this, LOG_VERBOSE,
                     "QueryCommand didn't get any answers after %d tries (%d ms)",
                     static_cast<int>(attempts), ElapsedMs(start));
            return -22;
        default:
            LINK_LOG(*this, LOG_ERROR, "QueryCommand failed with error %d (%d ms)", result,
                     ElapsedMs(start));
            return result;
    }
}

int32_t MORVA_Protocol::SendWake() {
    Trace(2, "\r<Sending Query Mode wake sequence...>\r");
    bool paced = true;
    for (uint32_t packet = 0; packet < kWakePackets; ++packet) {
        KSWrite(port, "\r", 1);
        uint32_t hookMs = 0;
        if (packet % kWakeReportEvery == 0) {
            const uint32_t before = TickMs();
            if (!CallProgress(kWakePackets, packet, kPhaseProgress)) {
                LINK_LOG(*this, LOG_VERBOSE,
                         "SendWake canceled by user after sending %d of %d packets",
                         static_cast<int>(packet + 1), static_cast<int>(kWakePackets));
                return -40;
            }
            hookMs = TickMs() - before;
            // A hook slower than the pause leaves no time to pace the packets.
            if (hookMs >= kWakePauseMs) paced = false;
        }
        if (paced) SleepMs(kWakePauseMs - hookMs);
    }
    if (!paced)
        LINK_LOG(*this, LOG_VERBOSE, "SendWake executing too slow to send status (PIG status)!");
    LINK_LOG(*this, LOG_VERBOSE, "SendWake sent %d packets", static_cast<int>(kWakePackets));
    CallProgress(kWakePackets, kWakePackets, kPhaseFinished);
    return 1;
}

int32_t MORVA_Protocol::LoginCommand(const char* name) {
    const size_t length = name == nullptr ? 0 : std::strlen(name);
    if (length > kMaxDeviceName) {
        LINK_LOG(*this, LOG_ERROR, "LoginCommand: Device name %s is wrong length (%d characters)",
                 name, static_cast<int>(length));
        return -54;
    }
    char command[32];
    if (length == 0) {
        CopyText(command, "login\r");
    } else {
        FormatText(command, sizeof command, "login %s\r", name);
    }
    char reply[kLoginReplyCapacity];
    uint32_t capacity = sizeof reply;
    uint32_t ms = 0;
    int32_t r = DeviceCommand(command, '>', kLoginTimeoutMs, reply, &capacity, &ms);
    if (r == -31) return 1;  // a bare prompt: logged in, nothing to say
    if (r < 0) return r;
    return std::strchr(reply, '>') != nullptr ? 1 : -30;
}

}  // namespace korr
