#include "instrument/InstrumentMissing.h"

#include <cstdio>

#include "instrument/DeviceHandling.h"
#include "instrument/InstrumentSettingTable.h"

namespace korr {

std::vector<std::string> SettingsNotCollected(const Korr_protocol& protocol) {
    std::vector<std::string> names;
    const DeviceHandling& h = HandlingOf(protocol.deviceType);
    const uint32_t requested = RequestWordOf(protocol.deviceType, protocol.deviceInfo.version);
    const uint32_t missing = requested & ~protocol.SavedFlags;
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((missing & bit) == 0) continue;
        const SettingRow* row =
            h.family == SettingsFamily::Instrument ? FindSettingRow(bit) : nullptr;
        if (row != nullptr && row->valueCount > 0 && row->values[0].key != nullptr) {
            std::string name = row->values[0].key;
            if (row->valueCount > 1 && row->values[1].key != nullptr) {
                name += std::string("/") + row->values[1].key;
            }
            names.push_back(name);
        } else if (h.family != SettingsFamily::Instrument) {
            char text[24];
            std::snprintf(text, sizeof text, "setting 0x%08X", bit);
            names.emplace_back(text);
        }
    }
    return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out;
}

}  // namespace korr
