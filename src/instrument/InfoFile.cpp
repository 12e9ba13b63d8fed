// The settings file as a whole: written in one piece, read in one piece, and the family section
// chosen by the device type.
#include "instrument/InfoFile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "instrument/InfoFileLookup.h"
#include "instrument/InstrumentLog.h"
#include "instrument/WholeFile.h"

namespace korr {

namespace {

constexpr int32_t kValueNotKept = -37;

// Adds a formatted line, unless a line break comes before its own line end.
void AddLine(InfoText& out, std::string_view line) {
    const std::string_view body = line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
    if (body.find_first_of("\r\n") == std::string_view::npos) {
        out.text.append(line);
        return;
    }
    if (out.refusedKey.empty()) out.refusedKey = std::string(body.substr(0, body.find('=')));
}

}  // namespace

void AppendLine(InfoText& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof line) {
        AddLine(out, std::string_view(line, static_cast<size_t>(n)));
        return;
    }
    std::string longLine(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(longLine.data(), longLine.size(), format, args);
    va_end(args);
    AddLine(out, std::string_view(longLine.data(), static_cast<size_t>(n)));
}

InfoText FormatInfoFile(const Korr_protocol& protocol) {
    InfoText text{.text = kInfoFileHeader, .refusedKey = {}};
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
    const InfoText file = FormatInfoFile(*this);
    unsavableSetting = file.refusedKey;
    // Nothing is written: the file that is there stays as it was.
    if (!file.refusedKey.empty()) {
        INST_LOG(LOG_ERROR,
                 "WriteInfoFile cannot keep the value of %s in settings file %s: it holds a line "
                 "break",
                 file.refusedKey.c_str(), path);
        return kValueNotKept;
    }
    int32_t r = WriteWholeFile(path, file.text);
    if (r < 0) {
        INST_LOG(LOG_ERROR, "WriteInfoFile got error %d trying to open settings file %s", -r, path);
    }
    return r;
}

void NoteMissingKeys(const char* fileText, std::span<const char* const> keys,
                     std::string& missing) {
    for (const char* key : keys) {
        if (FindFileValue(fileText, key)) continue;
        if (!missing.empty()) missing += ", ";
        missing += key;
    }
}

namespace {

// A file cut short ends inside a line; that line's value is not whole and is not read. A last
// line without its line end that closes its value with a double quote is whole.
void DropCutLastLine(std::string& text) {
    if (text.empty() || text.back() == '\n') return;
    const size_t start = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    const size_t open = text.find('"', start);
    if (open != std::string::npos && open + 1 < text.size() && text.back() == '"') return;
    text.erase(start);
}

}  // namespace

int32_t Korr_protocol::ReadInfoFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return -10;
    std::string text;
    int32_t r = ReadWholeFile(path, &text);
    if (r < 0) return r;
    DropCutLastLine(text);
    settingsNotInFile.clear();
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
