#include "sdi/SdiReply.h"

#include <cstring>

#include "common/FixedText.h"

namespace korr {

namespace {

// Address, then the two-digit SDI-12 version.
constexpr size_t kIdentificationStart = 3;
constexpr size_t kIdentificationMax = 36;
// Address, version, 8-character vendor, 6-character model: the firmware version follows.
constexpr size_t kFirmwareVersionStart = 17;
constexpr size_t kFirmwareVersionDigits = 3;

// Sensors that do not answer the type query are told apart by their model field.
struct ModelType {
    const char* model;
    uint8_t type;
};
constexpr ModelType kModelTypes[] = {
    {.model = "K9E   ", .type = 'z'},
    {.model = "MV-XM ", .type = '}'},
    {.model = "MV-XE ", .type = 127},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the value of an answer starts: after the address and one blank.
const char* ValueStart(const char* reply) {
    if (reply[0] == '\0') return reply;
    const char* value = reply + 1;
    return IsBlank(*value) ? value + 1 : value;
}

}  // namespace

size_t SDIIdentificationText(const char* reply, char* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    out[0] = '\0';
    if (reply == nullptr || strnlen(reply, kIdentificationStart) < kIdentificationStart) return 0;
    const char* text = reply + kIdentificationStart;
    const size_t line = std::strcspn(text, "\r");
    return CopyText(out, capacity, text, line < kIdentificationMax ? line : kIdentificationMax);
}

uint32_t SDIFirmwareVersion(const char* reply) {
    if (reply == nullptr) return 0;
    const size_t line = std::strcspn(reply, "\r");
    uint32_t version = 0;
    for (size_t i = kFirmwareVersionStart;
         i < line && i < kFirmwareVersionStart + kFirmwareVersionDigits; ++i) {
        if (reply[i] < '0' || reply[i] > '9') break;
        version = version * 10 + static_cast<uint32_t>(reply[i] - '0');
    }
    return version;
}

int32_t SDIValueText(const char* reply, char* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    out[0] = '\0';
    if (reply == nullptr) return -30;
    const char* value = ValueStart(reply);
    const size_t length = std::strcspn(value, "\r");
    if (value[length] != '\r' || length >= capacity) return -30;
    return static_cast<int32_t>(CopyText(out, capacity, value, length));
}

uint8_t SDISensorTypeOf(const char* reply) {
    if (reply == nullptr) return 0;
    const char type = *ValueStart(reply);
    if (type == '\0' || type == '\r' || type == '\n' || IsBlank(type)) return 0;
    return static_cast<uint8_t>(type);
}

uint8_t SDITypeFromIdentification(const char* identification) {
    if (identification == nullptr) return 0;
    for (const ModelType& m : kModelTypes) {
        if (std::strstr(identification, m.model) != nullptr) return m.type;
    }
    return 0;
}

}  // namespace korr
