// Single operations around an update: the battery, the new firmware's self-test verdict,
// erasing the measurement memory, and the device clock.
#include <cerrno>
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceMaintenance.h"
#include "instrument/DeviceHandling.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentReplies.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kShortReplyCapacity = 32;
constexpr uint32_t kPostTimeoutMs = 7000;
constexpr uint32_t kEraseTimeoutMs = 17000;
constexpr uint32_t kBatteryTimeoutMs = 1000;
constexpr uint32_t kClockTimeoutMs = 10000;

struct Exchange {
    int32_t result = 0;
    char reply[kShortReplyCapacity] = {};
    uint32_t ms = 0;
};

Exchange Send(Korr_protocol& kp, const char* command, uint32_t timeoutMs) {
    Exchange e;
    uint32_t capacity = sizeof e.reply;
    e.result = kp.link->DeviceCommand(command, '>', timeoutMs, e.reply, &capacity, &e.ms);
    return e;
}

bool Holds(const Exchange& e, const char* text) {
    return std::strstr(e.reply, text) != nullptr;
}

}  // namespace

int32_t Korr_protocol::KDCheckFirmware(bool postInit) {
    const Exchange e = Send(*this, postInit ? "post -init\r" : "post\r", kPostTimeoutMs);
    if (e.result <= 0) {
        INST_LOG(LOG_ERROR, "KDCheckFirmware can't determine firmware code status (error %d)",
                 e.result);
        return e.result;
    }
    if (Holds(e, "Code Good!")) {
        INST_LOG(LOG_INFO, "KDCheckFirmware: Device reports good firmware code!");
        return 1;
    }
    if (Holds(e, "Code Corrupt!")) {
        INST_LOG(LOG_ERROR, "KDCheckFirmware: Device reports corrupt firmware code!");
        return -1;
    }
    INST_LOG(LOG_ERROR, "KDCheckFirmware can't determine firmware code status");
    return -30;
}

int32_t Korr_protocol::KDEraseData() {
    const EraseWay way = HandlingOf(deviceType).erase;
    if (way == EraseWay::LoggerErase) return EraseData(*link);
    if (way != EraseWay::Yes) return -13;
    const Exchange e = Send(*this, "yes\r", kEraseTimeoutMs);
    int32_t r = e.result;
    if (r > 0) r = Holds(e, "OK") ? 1 : Holds(e, "DataFlash FAIL") ? -65 : -30;
    if (r > 0) {
        INST_LOG(LOG_INFO, "KDEraseData erased device data (%d ms)", static_cast<int>(e.ms));
    } else if (r == -65) {
        INST_LOG(LOG_ERROR, "KDEraseData failed due to a broken DataFlash (%d ms)",
                 static_cast<int>(e.ms));
    } else {
        INST_LOG(LOG_ERROR, "KDEraseData failed with error %d (%d ms)", r, static_cast<int>(e.ms));
    }
    return r;
}

int32_t Korr_protocol::KDCheckBattery(int32_t* percent) {
    if (percent == nullptr) return -10;
    const Exchange e = Send(*this, "get -batt\r", kBatteryTimeoutMs);
    if (e.result <= 0) {
        *percent = -1;
        return e.result;
    }
    if (!LeadingIntFromReply(e.reply, percent)) {
        INST_LOG(LOG_ERROR, "KDCheckBattery failed to parse battery power (%d ms)",
                 static_cast<int>(e.ms));
        return -30;
    }
    INST_LOG(LOG_INFO, "KDCheckBattery: %d%% battery (%d ms)", static_cast<int>(*percent),
             static_cast<int>(e.ms));
    return 1;
}

int32_t Korr_protocol::KDSetTime() {
    if (!deviceInfo.setClock) return -13;
    int32_t status = 0;
    long clock = 0;
    uint32_t ms = 0;
    if (HandlingOf(deviceType).clockInSeconds) {
        const std::time_t now = WallTime();
        if (now == static_cast<std::time_t>(-1)) {
            INST_LOG(LOG_ERROR, "KDSetTime failed to get system time with error %d", errno);
            return -30;
        }
        clock = static_cast<long>(now + LocalUtcOffset() - kKorrEpochUnix);
        char command[32];
        FormatText(command, sizeof command, "set -sec %ld\r", clock);
        const Exchange e = Send(*this, command, kClockTimeoutMs);
        ms = e.ms;
        status = e.result > 0 ? (Holds(e, "OK") ? 1 : -30) : e.result;
    } else {
        int32_t seconds = 0;
        status = DeviceTime(*link, &seconds, 1);
        clock = seconds;
    }
    if (status > 0) {
        INST_LOG(LOG_VERBOSE, "KDSetTime set the time to: %ld", clock);
    } else {
        INST_LOG(LOG_VERBOSE, "KDSetTime got error %d (%d ms)", status, static_cast<int>(ms));
    }
    // A reply without "OK" did not set the clock, whatever its length.
    return status;
}

}  // namespace korr
