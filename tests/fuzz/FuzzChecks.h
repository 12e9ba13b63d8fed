#pragma once
// What the fuzz targets check after a parser ran: a failed check stops the run where it failed,
// so libFuzzer keeps the input.

#include <cstddef>
#include <cstring>

namespace korrtest {

inline void Check(bool ok) {
    if (!ok) __builtin_trap();
}

inline void CheckTerminated(const char* field, size_t capacity) {
    Check(strnlen(field, capacity) < capacity);
}

// A field with a guard byte after it: a read must leave the guard alone and terminate the text.
// The text starts empty: a read that fails may leave it as it was.
template <size_t N>
struct Guarded {
    char text[N] = {};
    char guard = 0x5A;
    bool Sound() const { return guard == 0x5A && std::memchr(text, '\0', N) != nullptr; }
};

}  // namespace korrtest
