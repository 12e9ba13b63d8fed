#pragma once
// How the settings file's keys are found: a key counts only at the start of a line and directly
// followed by '='. Its value runs from the double quote after the '=' to the last double quote
// of the line, so a value that holds a double quote reads back whole (the file has no escaping).

#include <optional>
#include <string_view>

namespace korr {

// The value of the first line that starts with key + '='; none when no line does or the line
// has no double quote after the '='.
std::optional<std::string_view> FindFileValue(std::string_view fileText, std::string_view key);

// One "key=\"value\"" line split apart, for showing a file. A line that is not of that form
// gives false. The keys of the Tr3b's port lines hold '=' themselves ("Port number=\"1\" value").
struct FileLine {
    std::string_view key;
    std::string_view value;
};
bool SplitFileLine(std::string_view line, FileLine* out);

// Calls visit(line) for each line of the text, without its line end.
template <typename Visit>
void ForEachFileLine(std::string_view text, Visit&& visit) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!visit(line)) return;
        pos = end + 1;
    }
}

}  // namespace korr
