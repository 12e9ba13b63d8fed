#include "app/SerialNumberRule.h"

#include <cstdio>

#include "app/AppState.h"

namespace korr {

namespace {

constexpr std::string_view kAllowedMarks = "-_./+#:";

bool Allowed(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           kAllowedMarks.find(c) != std::string_view::npos;
}

std::string Describe(char c) {
    const auto byte = static_cast<unsigned char>(c);
    char text[48];
    if (byte >= 0x21 && byte < 0x7F) {
        std::snprintf(text, sizeof text, "the character '%c'", c);
    } else {
        std::snprintf(text, sizeof text, "the character code 0x%02X", byte);
    }
    return text;
}

}  // namespace

std::string SerialNumberProblem(std::string_view number) {
    if (number.empty()) return "it is empty";
    if (number.size() > kNewSerialNumberMax) {
        return "it has " + std::to_string(number.size()) + " characters; at most " +
               std::to_string(kNewSerialNumberMax) + " are allowed";
    }
    for (char c : number) {
        if (!Allowed(c)) {
            return "it holds " + Describe(c) +
                   "; only letters, digits and - _ . / + # : are allowed";
        }
    }
    if (number.front() == '-')
        return "it starts with '-', which the instrument takes for an option";
    return {};
}

}  // namespace korr
