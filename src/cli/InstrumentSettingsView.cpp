#include "cli/InstrumentSettingsView.h"

#include <cstdio>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "instrument/DeviceHandling.h"
#include "instrument/InstrumentSettingTable.h"
#include "instrument/Korr_protocol.h"

namespace korrcli {

namespace {

constexpr uint8_t kUpdateBaudIndex = 2;
constexpr uint32_t kUpdateTries = 3;

void PrintValue(korr::InstrumentSettings& s, const korr::SettingValue& v) {
    if (v.kind == korr::ValueKind::Number) {
        std::printf("%-20s%ld\n", v.key, static_cast<long>(*v.number(s)));
    } else {
        std::printf("%-20s%s\n", v.key, v.text(s).text);
    }
}

void PrintRecords(const char* word, const korr::RecordSet& set) {
    for (int32_t i = 0; i < set.count; ++i) {
        std::printf("%s %-15d%s\n", word, static_cast<int>(i), set.records[i].text);
    }
}

// In the order the update collects them; each setting under its command word.
void PrintInstrumentSettings(korr::Korr_protocol& kp) {
    std::printf("settings read:      0x%08X\n", static_cast<unsigned>(kp.instrumentFlags));
    for (korr::InstrumentFlags bit : korr::kCollectOrder) {
        if (!(kp.instrumentFlags & bit)) continue;
        const korr::SettingRow* row = korr::FindSettingRow(bit);
        if (row->step == korr::StepKind::Cal) {
            for (size_t i = 0; i < korr::kCalTextCount && kp.instrument.cal[i][0] != '\0'; ++i) {
                std::printf("cal %-16zu%s\n", i, kp.instrument.cal[i]);
            }
        } else if (row->step == korr::StepKind::Records) {
            const bool user = row->recordType == korr::kRecordUser;
            PrintRecords(user ? "user" : "eqn", user ? kp.userRecords : kp.eqnRecords);
        }
        for (int i = 0; i < row->valueCount; ++i) PrintValue(kp.instrument, row->values[i]);
    }
}

}  // namespace

bool HasInstrumentSettings(int deviceType) {
    return korr::HandlingOf(deviceType).family == korr::SettingsFamily::Instrument;
}

int ShowInstrumentSettings(const char* port, korr::KorrLog* log) {
    korr::Korr_protocol kp(log);
    korr::DeviceInfo info;
    int32_t r = kp.KDConnect(port, kUpdateBaudIndex, kUpdateTries, &info);
    if (r < 0) return ReportError(r, "could not connect to the instrument for its settings");
    r = kp.GetInstInfo(korr::RequestWordOf(kp.deviceType, kp.deviceInfo.version));
    kp.KDDisconnect(true);
    // Some settings missing still leaves the others to show.
    if (r < 0 && r != -35) return ReportError(r, "could not read the instrument's settings");
    PrintInstrumentSettings(kp);
    return kExitOk;
}

}  // namespace korrcli
