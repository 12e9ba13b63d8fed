// The instrument family's lines of the settings file.
#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"
#include "instrument/RecordTypes.h"

namespace korr {

namespace {

constexpr int kDeviceTypeHV = 14;  // the one type with calibration texts

void AppendRecords(InfoText& out, const RecordSet& set, const char* word) {
    for (int32_t i = 0; i < set.count && set.records && set.records[i].text[0] != '\0'; ++i) {
        AppendLine(out, "%s%02d=\"%s\"\r\n", word, static_cast<int>(i), set.records[i].text);
    }
}

}  // namespace

void AppendInstrumentSection(InfoText& out, const Korr_protocol& protocol) {
    const InstrumentSettings& s = protocol.instrument;
    AppendLine(out, "type=\"%s\"\r\n", DeviceTypeInfo(protocol.deviceType).code);
    AppendInstrumentKeys(out, s);
    if (protocol.deviceType == kDeviceTypeHV) {
        for (size_t i = 0; i < kCalTextCount && s.cal[i][0] != '\0'; ++i) {
            AppendLine(out, "cal%02d=\"%s\"\r\n", static_cast<int>(i), s.cal[i]);
        }
    }
    AppendRecords(out, protocol.userRecords, FindRecordType(kRecordUser)->word);
    AppendRecords(out, protocol.eqnRecords, FindRecordType(kRecordEqn)->word);
}

}  // namespace korr
