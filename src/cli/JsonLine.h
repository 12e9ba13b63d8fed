#pragma once
// One JSON object on one line, for scripts that read korrbsl's progress: members are added in
// order and the line is written whole.

#include <cstdint>
#include <cstdio>
#include <string>

namespace korrcli {

// The text as a JSON string, quotes included; bytes outside printable ASCII are escaped.
std::string JsonString(const std::string& text);

class JsonLine {
  public:
    explicit JsonLine(const char* event) { Add("event", event); }
    JsonLine& Add(const char* key, const std::string& value);
    JsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    JsonLine& Add(const char* key, int64_t value);
    JsonLine& Add(const char* key, double value);
    JsonLine& Add(const char* key, bool value);
    // Writes "{...}\n" and flushes.
    void Write(std::FILE* out) const;

  private:
    JsonLine& Raw(const char* key, const std::string& value);
    std::string body_;
};

}  // namespace korrcli
