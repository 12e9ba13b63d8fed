// The device clock. Devices keep either KorrSeconds or a calendar date and time of day, both
// in the host's local time.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/FixedText.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kReadTimeoutMs = 2000;
constexpr uint32_t kTimeReplyCapacity = 48;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date; months out of range carry into years.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year += (month - 1) >= 0 ? (month - 1) / 12 : -((12 - month) / 12);
    month = ((month - 1) % 12 + 12) % 12 + 1;
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The broken-down calendar time of a count of seconds since 1970, taken as is (no zone shift).
std::tm BreakDown(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    return parts;
}

int32_t SetTimeOfDay(MORVA_Protocol& link, const std::tm& t, uint32_t start) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set -t %d:%d:%d\r", t.tm_hour, t.tm_min, t.tm_sec);
    int32_t r = SendSet(link, command, Confirm::kOKOrPrompt, kTimeReplyCapacity);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "DeviceTime set device time to %d:%02d:%02d (%d ms)", t.tm_hour,
             t.tm_min, t.tm_sec, ElapsedMs(start));
    return 1;
}

int32_t SetDate(MORVA_Protocol& link, int32_t seconds, const std::tm& t, uint32_t start) {
    const bool korrSeconds = (link.settings.capabilities & kCapKorrSeconds) != 0;
    char command[kCommandCapacity];
    if (korrSeconds) {
        FormatText(command, sizeof command, "set -sec %lu\r", static_cast<unsigned long>(seconds));
    } else {
        FormatText(command, sizeof command, "set -d %d-%d-%d\r", t.tm_year + 1900, t.tm_mon + 1,
                   t.tm_mday);
    }
    char reply[kTimeReplyCapacity];
    int32_t r = AskDevice(link, command, reply, sizeof reply);
    if (r < 0) return r;
    const bool confirmed =
        Contains(reply, "OK") || (!link.settings.newCommandSet && Contains(reply, ">"));
    if (!confirmed) return -30;
    if (korrSeconds) {
        LINK_LOG(link, LOG_VERBOSE, "DeviceTime set device korrseconds to %d (%d ms)", seconds,
                 ElapsedMs(start));
    } else {
        LINK_LOG(link, LOG_VERBOSE, "DeviceTime set device date to %d-%d-%d (%d ms)",
                 t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, ElapsedMs(start));
    }
    return 1;
}

int32_t SetClock(MORVA_Protocol& link, int32_t* seconds, uint32_t start) {
    int32_t value = seconds != nullptr ? *seconds : 0;
    std::tm t{};
    if (value != 0) {
        t = BreakDown(int64_t{value} + kKorrEpochUnix);
    } else {
        const std::time_t now = WallTime();
        if (now == static_cast<std::time_t>(-1)) {
            LINK_LOG(link, LOG_ERROR, "DeviceTime failed to get system time with error %d", errno);
            return -30;
        }
        const int64_t local = int64_t{now} + LocalUtcOffset();
        value = static_cast<int32_t>(local - kKorrEpochUnix);
        if (seconds != nullptr) *seconds = value;
        t = BreakDown(local);
    }
    if ((link.settings.capabilities & kCapKorrSeconds) == 0) {
        // A clock set to the wrong day is no success: the date goes only after the time.
        int32_t r = SetTimeOfDay(link, t, start);
        if (r < 0) return r;
    }
    return SetDate(link, value, t, start);
}

int32_t ReadKorrSeconds(MORVA_Protocol& link, const char* reply, int32_t* seconds, uint32_t start) {
    char* end = nullptr;
    errno = 0;
    const unsigned long found = std::strtoul(reply, &end, 10);
    if (end == reply) return -30;
    // A count past the 32-bit range is a negative KorrSeconds value.
    const bool negative = found > static_cast<unsigned long>(INT32_MAX) || errno == ERANGE;
    *seconds = negative ? 0 : static_cast<int32_t>(found);
    LINK_LOG(link, LOG_VERBOSE, "DeviceTime found device date/timr %ld KorrSeconds (%d ms)",
             static_cast<long>(found), ElapsedMs(start));
    return negative ? -30 : 1;
}

int32_t ReadDateTime(MORVA_Protocol& link, const char* reply, int32_t* seconds, uint32_t start) {
    const char* label = std::strstr(reply, "Date\\Time:");
    const char* from = label != nullptr ? label + std::strlen("Date\\Time:") : reply;
    int v[6] = {};
    if (std::sscanf(from, "%d-%d-%d %d:%d:%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6) {
        return -30;
    }
    // The device's wall-clock time counted from 2000 in the same zone: the host's UTC offset
    // taken off for the conversion and added back again cancels out.
    const int64_t local = DaysFromCivil(v[0], v[1], v[2]) * kSecondsPerDay + int64_t{v[3]} * 3600 +
                          int64_t{v[4]} * 60 + v[5];
    const int64_t korr = local - kKorrEpochUnix;
    if (korr < INT32_MIN || korr > INT32_MAX) {
        *seconds = 0;
        return -30;
    }
    *seconds = static_cast<int32_t>(korr);
    LINK_LOG(link, LOG_VERBOSE,
             "DeviceTime found device date/time %d-%d-%d %d:%02d:%02d or %ld (%d ms)", v[0], v[1],
             v[2], v[3], v[4], v[5], static_cast<long>(*seconds), ElapsedMs(start));
    return 1;
}

int32_t ReadClock(MORVA_Protocol& link, int32_t* seconds, uint32_t start) {
    if (seconds == nullptr) return -10;
    const bool korrSeconds = (link.settings.capabilities & kCapKorrSeconds) != 0;
    const char* command = korrSeconds                   ? "get -sec\r"
                          : link.settings.newCommandSet ? "get -t\r"
                                                        : "time\r";
    char reply[kTimeReplyCapacity];
    if (AskDevice(link, command, reply, sizeof reply, kReadTimeoutMs) < 0) return -30;
    return korrSeconds ? ReadKorrSeconds(link, reply, seconds, start)
                       : ReadDateTime(link, reply, seconds, start);
}

}  // namespace

int32_t DeviceTime(MORVA_Protocol& link, int32_t* seconds, int mode) {
    const uint32_t start = TickMs();
    if ((link.settings.capabilities & kCapClock) == 0) {
        if (seconds != nullptr) *seconds = -1;
        return -1;
    }
    const bool write = mode == kSettingWrite;
    int32_t result = write ? SetClock(link, seconds, start) : ReadClock(link, seconds, start);
    if (result < 0 && !write && seconds != nullptr) *seconds = -1;
    return Finished(link, "DeviceTime", result, start);
}

}  // namespace korr
