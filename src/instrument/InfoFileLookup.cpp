// The key lookups of the settings file.
#include "instrument/InfoFileLookup.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "common/FixedText.h"
#include "instrument/Korr_protocol.h"

namespace korr {

namespace {

constexpr std::string_view kPortKeyHead = "Port number=\"";

// The value of a line whose key ends at keyEnd (the '=' there): from the first double quote
// after the '=' to the last double quote of the line, or to the line end when that first quote
// is the last one.
std::optional<std::string_view> LineValue(std::string_view line, size_t keyEnd) {
    size_t open = line.find('"', keyEnd + 1);
    if (open == std::string_view::npos) return std::nullopt;
    size_t close = line.rfind('"');
    if (close == open) close = line.size();
    return line.substr(open + 1, close - open - 1);
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

}  // namespace

std::optional<std::string_view> FindFileValue(std::string_view fileText, std::string_view key) {
    std::optional<std::string_view> found;
    if (key.empty()) return found;
    ForEachFileLine(fileText, [&](std::string_view line) {
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != '=') {
            return true;
        }
        found = LineValue(line, key.size());
        return false;  // the first line with the key decides
    });
    return found;
}

bool SplitFileLine(std::string_view line, FileLine* out) {
    size_t keyEnd = line.find('=');
    if (line.substr(0, kPortKeyHead.size()) == kPortKeyHead) {
        keyEnd = line.find('=', kPortKeyHead.size());
    }
    if (keyEnd == std::string_view::npos || keyEnd == 0) return false;
    std::optional<std::string_view> value = LineValue(line, keyEnd);
    if (!value) return false;
    out->key = line.substr(0, keyEnd);
    out->value = *value;
    return true;
}

bool GetFileString(const char* fileText, const char* key, char* value, size_t capacity) {
    if (value != nullptr && capacity > 0) value[0] = '\0';
    if (fileText == nullptr || key == nullptr || value == nullptr || capacity == 0) return false;
    std::optional<std::string_view> found = FindFileValue(fileText, key);
    if (!found) return false;
    size_t n = found->size() < capacity - 1 ? found->size() : capacity - 1;
    std::memcpy(value, found->data(), n);
    value[n] = '\0';
    return n > 0;
}

// A signed decimal: leading blanks and a sign allowed, clamped to the 32-bit limits; no digits
// read as 0.
bool GetFileLong(const char* fileText, const char* key, int32_t* value) {
    if (fileText == nullptr || key == nullptr || value == nullptr) return false;
    std::optional<std::string_view> found = FindFileValue(fileText, key);
    if (!found) return false;
    std::string_view text = SkipBlanks(*found);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    (void)end;
    if (ec == std::errc::result_out_of_range || magnitude > static_cast<long long>(INT32_MAX) + 1) {
        *value = negative ? INT32_MIN : INT32_MAX;
    } else if (ec != std::errc{}) {
        *value = 0;
    } else {
        long long signedValue = negative ? -magnitude : magnitude;
        *value = signedValue > INT32_MAX ? INT32_MAX : static_cast<int32_t>(signedValue);
    }
    return true;
}

// Read without the locale: the file is written with a decimal point whatever the locale.
bool GetFileDouble(const char* fileText, const char* key, double* value) {
    if (fileText == nullptr || key == nullptr || value == nullptr) return false;
    std::optional<std::string_view> found = FindFileValue(fileText, key);
    if (!found) return false;
    std::string_view text = SkipBlanks(*found);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    double parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    (void)end;
    if (ec != std::errc{}) parsed = 0;
    *value = negative ? -parsed : parsed;
    return true;
}

}  // namespace korr
