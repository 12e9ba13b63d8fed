#pragma once
// How values are read from an instrument's replies. A text value follows the start of the
// reply directly; a number follows the reply's first line end.

#include <cstddef>
#include <cstdint>

namespace korr {

enum class TextReply {
    Value,          // a non-empty value was stored
    Refused,        // the reply holds "Error"
    LeadingPrompt,  // the prompt came where the value should be
    Empty,
};

// Stores the value (at most capacity - 1 characters) and says what the reply held.
TextReply TextValueFromReply(const char* reply, char* value, size_t capacity);

// The number after the first line end (or at the start of a reply without one), after one
// line feed; false when there is none or it does not fit 32 bits.
bool LongValueFromReply(const char* reply, int32_t* value);

// A decimal number at the start of the reply (white space skipped); false when there is none
// or it does not fit 32 bits.
bool LeadingIntFromReply(const char* reply, int32_t* value);

// What a set command's reply says: "OK" confirms it (1); "Error" refuses it (-34), as "ERROR"
// does on the link; any other reply keeps the exchange's result.
int32_t SetReplyResult(int32_t exchange, const char* reply);

// A decimal integer with optional leading blanks and sign; false when there is none.
bool ParseDecimal(const char* text, int64_t* value);

}  // namespace korr
