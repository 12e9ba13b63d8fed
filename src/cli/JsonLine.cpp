#include "cli/JsonLine.h"

namespace korrcli {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                // Device texts are bytes, not UTF-8: anything outside printable ASCII is escaped,
                // so the line stays valid JSON whatever the device sent.
                if (c < 0x20 || c >= 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

JsonLine& JsonLine::Raw(const char* key, const std::string& value) {
    if (!body_.empty()) body_ += ", ";
    body_ += JsonString(key) + ": " + value;
    return *this;
}

JsonLine& JsonLine::Add(const char* key, const std::string& value) {
    return Raw(key, JsonString(value));
}

JsonLine& JsonLine::Add(const char* key, int64_t value) {
    return Raw(key, std::to_string(value));
}

JsonLine& JsonLine::Add(const char* key, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return Raw(key, text);
}

JsonLine& JsonLine::Add(const char* key, bool value) {
    return Raw(key, value ? "true" : "false");
}

void JsonLine::Write(std::FILE* out) const {
    std::fprintf(out, "{%s}\n", body_.c_str());
    std::fflush(out);
}

}  // namespace korrcli
