#pragma once
// Reading the fields of a sensor's SDI-12 answers. Every reader stays within the reply text it
// is given, whatever the sensor sent.

#include <cstddef>
#include <cstdint>

namespace korr {

// The identification after the address and the two-digit SDI-12 version, cut at the first
// carriage return; empty when the reply is shorter than that.
size_t SDIIdentificationText(const char* reply, char* out, size_t capacity);

// The three-digit firmware version after the 8-character vendor and 6-character model fields:
// the digits found there, 0 when the reply ends before them.
uint32_t SDIFirmwareVersion(const char* reply);

// A value answer ("0 text\r\n"): the text after the address and one blank, up to the carriage
// return. Returns the characters stored, or -30 when the reply holds no carriage return after
// the value (the value may be cut and must not be taken for the sensor's whole value).
int32_t SDIValueText(const char* reply, char* out, size_t capacity);

// The type character after the address (and one blank); 0 when the reply holds none.
uint8_t SDISensorTypeOf(const char* reply);

// The sensor type that an identification naming a known model stands for; 0 when none does.
uint8_t SDITypeFromIdentification(const char* identification);

}  // namespace korr
