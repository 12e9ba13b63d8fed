#include "log/KorrLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "common/FixedText.h"
#include "serial/Clock.h"

namespace korr {

namespace {
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

bool KorrLog::IsValidLevel(uint32_t level) {
    return level == LOG_OFF || level == LOG_ERROR || level == LOG_INFO || level == LOG_VERBOSE ||
           level == LOG_TRACE;
}

KorrLog::KorrLog(const char* path, uint32_t level)
    : path_(path != nullptr ? path : "error.txt"),
      level_(IsValidLevel(level) ? level : LOG_ERROR) {}

bool KorrLog::SetLevel(uint32_t level) {
    if (!IsValidLevel(level)) return false;
    level_ = level;
    return true;
}

void FormatLogStamp(char* out, size_t capacity, int year, int month0, int day, int hour, int minute,
                    int second) {
    const char* month = (month0 >= 0 && month0 < 12) ? kMonths[month0] : "???";
    FormatText(out, capacity, "%d %s %d %d:%02d:%02d", day, month, year, hour, minute, second);
}

std::string KorrLog::Lead(const char* tag) const {
    std::string lead = tag != nullptr ? tag : "";
    if (!context_.empty() && context_ != lead) lead += " [" + context_ + "]";
    return lead;
}

int KorrLog::Print(uint32_t level, const char* tag, const char* format, ...) const {
    if (level_ < level) return 0;
    if (mirror_) {
        va_list args;
        va_start(args, format);
        char message[1024];
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        mirror_(Lead(tag) + ": " + message);
    }
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (file == nullptr) return 0;

    // Local time is UTC shifted by the clock's offset, so virtual clocks give fixed stamps.
    RealClock system;
    std::time_t local =
        systemTime_ ? system.WallTime() + system.LocalUtcOffset() : WallTime() + LocalUtcOffset();
    std::tm parts{};
    gmtime_r(&local, &parts);
    char stamp[48];
    FormatLogStamp(stamp, sizeof stamp, parts.tm_year + 1900, parts.tm_mon, parts.tm_mday,
                   parts.tm_hour, parts.tm_min, parts.tm_sec);

    int total = 0;
    int n = std::fprintf(file, "%s - %s: ", stamp, Lead(tag).c_str());
    if (n > 0) total += n;
    va_list args;
    va_start(args, format);
    n = std::vfprintf(file, format, args);
    va_end(args);
    if (n > 0) total += n;
    n = std::fprintf(file, "\r\n");
    if (n > 0) total += n;
    std::fclose(file);
    return total;
}

}  // namespace korr
