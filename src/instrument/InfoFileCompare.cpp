// Whether an instrument holds what a settings file says, compared setting by setting: only
// what a restore writes back counts, since new firmware brings values of its own (its build,
// its identification) that no restore can or should change.
#include <string>
#include <utility>
#include <vector>

#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"

namespace korr {

namespace {

// The lines of a numbered list ("cal00", "user01" ...), in file order.
std::vector<std::pair<std::string_view, std::string_view>> ListLines(std::string_view text) {
    std::vector<std::pair<std::string_view, std::string_view>> lines;
    ForEachFileLine(text, [&](std::string_view line) {
        FileLine kv;
        if (!SplitFileLine(line, &kv)) return true;
        for (std::string_view word : {"cal", "user", "eqn"}) {
            const std::string_view key = kv.key;
            if (key.size() == word.size() + 2 && key.substr(0, word.size()) == word &&
                key.find_first_not_of("0123456789", word.size()) == std::string_view::npos) {
                lines.emplace_back(kv.key, kv.value);
            }
        }
        return true;
    });
    return lines;
}

std::vector<const char*> RestoredKeys(int deviceType, std::string_view saved) {
    switch (InfoReadFamily(deviceType)) {
        case InfoFamily::kLogger: {
            std::vector<const char*> keys = LoggerRestoredKeys(deviceType);
            // A logger with a device id never has its serial number written.
            const auto id = FindFileValue(saved, "deviceid");
            if (id && !id->empty()) std::erase(keys, std::string_view("sn"));
            return keys;
        }
        case InfoFamily::kInstrument:
            return InstrumentRestoredKeys(deviceType);
        case InfoFamily::kSensor: {
            std::vector<const char*> keys = {"addressInt", "calibration"};
            if (FindFileValue(saved, "sensorType").value_or("") == "121") {  // 'y': two strings
                keys.push_back("calibration2");
            }
            return keys;
        }
        case InfoFamily::kNone:
            break;
    }
    return {};
}

}  // namespace

bool SameRestoredSettings(int deviceType, std::string_view saved, std::string_view now) {
    for (const char* key : RestoredKeys(deviceType, saved)) {
        const auto was = FindFileValue(saved, key);
        if (!was || was->empty()) continue;  // not in the file: not written back
        if (FindFileValue(now, key) != was) return false;
    }
    return InfoReadFamily(deviceType) != InfoFamily::kInstrument ||
           ListLines(saved) == ListLines(now);
}

}  // namespace korr
