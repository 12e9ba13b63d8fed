// Whatever a left settings file holds, its origin reads without harm, the text without its
// origin lines holds none, and origin lines written from what was read read back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/SettingsOrigin.h"
#include "fuzz/FuzzChecks.h"

namespace {

using korrtest::Check;

bool HasOriginLine(std::string_view text) {
    if (text.substr(0, 7) == "origin-") return true;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (text.substr(at + 1, 7) == "origin-") return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const korr::SettingsOrigin origin = korr::ReadOrigin(text);
    const std::string rest = korr::WithoutOrigin(text);
    Check(rest.size() <= text.size());
    Check(!HasOriginLine(rest));
    Check(korr::WithoutOrigin(rest) == rest);

    korr::SettingsOrigin clean = origin;
    for (std::string* field :
         {&clean.type, &clean.version, &clean.serial, &clean.port, &clean.time}) {
        const size_t cut = field->find_first_of("\"\r\n");
        if (cut != std::string::npos) field->erase(cut);
    }
    const std::string lines = korr::OriginLines(clean);
    const korr::SettingsOrigin again = korr::ReadOrigin(lines);
    Check(again.type == clean.type && again.version == clean.version && again.port == clean.port &&
          again.time == clean.time);
    Check(korr::WithoutOrigin(lines).empty());
    return 0;
}
