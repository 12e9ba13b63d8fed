#pragma once
// The settings file's parts: which family a device type writes and reads, the line writer, the
// per-family sections, and the keys of the instrument family as data.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/Korr_protocol.h"

namespace korr {

enum class InfoFamily { kNone, kLogger, kSensor, kInstrument };

// The family the writer uses for a device type (every type not a logger or the sensor writes
// the instrument family).
InfoFamily InfoWriteFamily(int deviceType);
// The family the reader uses; kNone for the types that keep no settings file.
InfoFamily InfoReadFamily(int deviceType);

inline constexpr const char* kInfoFileHeader =
    "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n";

// The file text as it is made, and the first key whose value the file cannot hold: the file
// has no escaping, so a line break in a value would end its line, and what follows could be
// read as another key.
struct InfoText {
    std::string text;
    std::string refusedKey;
};

// Appends one formatted line "key=..." (the format holds its own CR LF); a line whose value
// holds a line break is left out and its key noted as refused.
__attribute__((format(printf, 2, 3))) void AppendLine(InfoText& out, const char* format, ...);

// The whole file text for the device type held by the object.
InfoText FormatInfoFile(const Korr_protocol& protocol);

void AppendLoggerSection(InfoText& out, const DeviceSettingsRecord& s);
void AppendInstrumentSection(InfoText& out, const Korr_protocol& protocol);
void AppendSensorSection(InfoText& out, const KorrSDI12& sdi);

// Each reader checks the type line first and changes nothing when it does not match (-30).
int32_t ReadLoggerSection(Korr_protocol& protocol, const char* fileText);
int32_t ReadInstrumentSection(Korr_protocol& protocol, const char* fileText);
int32_t ReadSensorSection(Korr_protocol& protocol, const char* fileText);

// Adds to `missing` (names separated by ", ") each key that no line of the file holds.
void NoteMissingKeys(const char* fileText, std::span<const char* const> keys,
                     std::string& missing);

// The keys of the single settings a restore from the file writes back for the device type
// (the numbered lists, calibration texts and records, not included).
std::vector<const char*> LoggerRestoredKeys(int deviceType);
std::vector<const char*> InstrumentRestoredKeys(int deviceType);

// Whether the settings file `now` (a reading taken after a restore) holds the settings of
// `saved` that a restore writes back; values a device changes by itself, such as its build, are
// not compared.
bool SameRestoredSettings(int deviceType, std::string_view saved, std::string_view now);

// The device type a settings file was written for, from its type line; 0 when it names none.
int InfoFileDeviceType(const char* fileText);

// The value texts of the instrument family: one row per key, shared by writer and reader.
struct InstrumentKey {
    const char* key;
    InstrumentFlags bit;
    const char* (*text)(const InstrumentSettings&);  // null for a number
    size_t capacity;
    const int32_t* (*number)(const InstrumentSettings&);
};

// Appends a line for every row, in the file's order.
void AppendInstrumentKeys(InfoText& out, const InstrumentSettings& s);
// The row of a key of the instrument family; null when there is none.
const InstrumentKey* FindInstrumentKey(const char* key);

// The logger model texts whose files a logger of the type reads.
bool LoggerTypeLineMatches(int deviceType, const char* typeValue);

// The secret values of a file, which a front end shows masked.
bool IsSecretKey(const char* key);

}  // namespace korr
