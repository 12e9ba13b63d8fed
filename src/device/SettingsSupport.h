#pragma once
// What the setting and maintenance commands share: who may run a command, one get/set
// exchange, and the small readers of reply text.

#include <cstdint>

#include "device/DeviceIdentification.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"

namespace korr {

inline constexpr uint32_t kSettingTimeoutMs = 1000;
inline constexpr uint32_t kSettingReplyCapacity = 32;
// Large enough for any set command, a coordinate printed in full included.
inline constexpr uint32_t kCommandCapacity = 400;
// Large enough for the widest reply any of these commands asks for.
inline constexpr uint32_t kReplyTextCapacity = 129;

// Who may run a setting command.
enum class Gate : uint8_t {
    kNone,
    kCapability,        // the row's capability bit
    kWriteNeedsNewSet,  // reading always works, writing needs the new command set
    kModem,             // the trait says a network modem is fitted
};

bool GateOpen(const MORVA_Protocol& link, Gate gate, uint32_t capability, bool write);

// What confirms a set command.
enum class Confirm : uint8_t {
    kOK,          // "OK" (new command set)
    kOKOrPrompt,  // "OK", or the prompt "\r>" of the old command set
    kPrompt,      // "\r>" only (old command set)
};

// One exchange with terminator '>': the DeviceCommand result; reply is always terminated.
int32_t AskDevice(MORVA_Protocol& link, const char* command, char* reply, uint32_t capacity,
                  uint32_t timeoutMs = kSettingTimeoutMs, char terminator = '>');

// Asks for one setting ("get <key>\r"): as AskDevice.
int32_t GetSetting(MORVA_Protocol& link, const char* key, char* reply, uint32_t capacity);

// Sends a set command: 1 when confirmed, -30 when not, or the command error.
int32_t SendSet(MORVA_Protocol& link, const char* command, Confirm confirm,
                uint32_t capacity = kSettingReplyCapacity);

// Where a value starts: after the reply's first carriage return, or at its start without one.
const char* AfterFirstReturn(const char* reply);
const char* SkipSpace(const char* text);
// Copies a text value up to the next carriage return or maxChars: 1, -31 when the value is the
// prompt, -30 when it is empty.
int32_t TakeText(const char* from, char* out, uint32_t maxChars);
// Reads one decimal number: true when found.
bool TakeNumber(const char* from, int32_t* value);

bool Contains(const char* text, const char* what);

// The end of a command: a failure gets its "<logName> failed with error ..." line. Returns result.
int32_t Finished(MORVA_Protocol& link, const char* logName, int32_t result, uint32_t start);

}  // namespace korr
