#pragma once
// The one way this program fills a fixed-capacity text field: copy, cut to fit, terminate.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace korr {

// Copies at most maxChars characters of src (and never more than the field holds) and
// terminates. A null src gives an empty field. Returns the number of characters copied.
inline size_t CopyText(char* dst, size_t capacity, const char* src, size_t maxChars = SIZE_MAX) {
    if (dst == nullptr || capacity == 0) return 0;
    size_t n = 0;
    if (src != nullptr) {
        size_t limit = capacity - 1 < maxChars ? capacity - 1 : maxChars;
        while (n < limit && src[n] != '\0') {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = '\0';
    return n;
}

template <size_t N>
inline size_t CopyText(char (&dst)[N], const char* src, size_t maxChars = SIZE_MAX) {
    return CopyText(dst, N, src, maxChars);
}

// snprintf into a fixed field; the result is always terminated and cut to fit.
// Returns the number of characters stored.
__attribute__((format(printf, 3, 4))) inline size_t FormatText(char* dst, size_t capacity,
                                                               const char* format, ...) {
    if (dst == nullptr || capacity == 0) return 0;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(dst, capacity, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n) < capacity ? static_cast<size_t>(n) : capacity - 1;
}

// Appends to a terminated text in a fixed field, cutting to fit.
inline size_t AppendText(char* dst, size_t capacity, const char* src) {
    if (dst == nullptr || capacity == 0) return 0;
    size_t used = strnlen(dst, capacity - 1);
    return used + CopyText(dst + used, capacity - used, src);
}

}  // namespace korr
