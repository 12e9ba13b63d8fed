// The settings file as a whole: written in one piece, read in one piece, and the family section
// chosen by the device type.
#include "instrument/InfoFile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "instrument/InstrumentLog.h"
#include "instrument/WholeFile.h"

namespace korr {

void AppendLine(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof line) {
        out.append(line, static_cast<size_t>(n));
        return;
    }
    std::string longLine(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(longLine.data(), longLine.size(), format, args);
    va_end(args);
    out.append(longLine.data(), static_cast<size_t>(n));
}

std::string FormatInfoFile(const Korr_protocol& protocol) {
    std::string text = kInfoFileHeader;
    switch (InfoWriteFamily(protocol.deviceType)) {
        case InfoFamily::kLogger:
            AppendLoggerSection(text, protocol.loggerSettings);
            break;
        case InfoFamily::kSensor:
            AppendSensorSection(text, *protocol.sdi);
            break;
        default:
            AppendInstrumentSection(text, protocol);
            break;
    }
    return text;
}

int32_t Korr_protocol::WriteInfoFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return -10;
    int32_t r = WriteWholeFile(path, FormatInfoFile(*this));
    if (r < 0) {
        INST_LOG(LOG_ERROR, "WriteInfoFile got error %d trying to open settings file %s", -r, path);
    }
    return r;
}

int32_t Korr_protocol::ReadInfoFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return -10;
    std::string text;
    int32_t r = ReadWholeFile(path, &text);
    if (r < 0) return r;
    switch (InfoReadFamily(deviceType)) {
        case InfoFamily::kLogger:
            return ReadLoggerSection(*this, text.c_str());
        case InfoFamily::kInstrument:
            return ReadInstrumentSection(*this, text.c_str());
        case InfoFamily::kSensor:
            return ReadSensorSection(*this, text.c_str());
        default:
            return -13;
    }
}

}  // namespace korr
