// SetInstInfo: writes the held instrument settings named by a request word back, one step per
// setting in a fixed order (the serial number first), going on past failures.
#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentReplies.h"
#include "instrument/InstrumentSettingTable.h"

namespace korr {

namespace {

constexpr uint32_t kSetTimeoutMs = 1000;
constexpr uint32_t kSetReplyCapacity = 32;
constexpr size_t kSetCommandCapacity = 160;

class Restorer {
  public:
    explicit Restorer(Korr_protocol& kp) : kp_(kp), log(kp.log) {}

    int32_t Step(const SettingRow& row) {
        switch (row.step) {
            case StepKind::Plain:
            case StepKind::Sample:
                return Write(row.values[0]);
            case StepKind::SerialNumber: {
                const int32_t r = Write(row.values[0]);
                return r == -34 ? -12 : r;  // the instrument refused the value
            }
            case StepKind::Cal:
                return CalList();
            case StepKind::HadjTau:
                return BothWritten(Write(row.values[1]), Write(row.values[0]));  // tau first
            case StepKind::PandPv:
                return BothWritten(Write(row.values[0]), Write(row.values[1]));
            case StepKind::Records: {
                RecordSet& set = row.recordType == kRecordUser ? kp_.userRecords : kp_.eqnRecords;
                return kp_.SetRecords_Serial(set, row.recordType);
            }
        }
        return -11;
    }

  private:
    // A step of two set commands is done only when both are; otherwise the first failure.
    static int32_t BothWritten(int32_t first, int32_t second) { return first < 0 ? first : second; }

    // One set command; "OK" in the reply makes it 1, "Error" -34, any other reply leaves the
    // byte count.
    int32_t Send(const char* command, uint32_t* ms) {
        char reply[kSetReplyCapacity] = {};
        uint32_t length = sizeof reply;
        const int32_t r =
            kp_.link->DeviceCommand(command, '>', kSetTimeoutMs, reply, &length, ms);
        return SetReplyResult(r, reply);
    }

    int32_t Write(const SettingValue& v) {
        char command[kSetCommandCapacity];
        uint32_t ms = 0;
        if (v.kind == ValueKind::Number) {
            const long value = *v.number(kp_.instrument);
            FormatText(command, sizeof command, "set -%s %ld\r", v.key, value);
            const int32_t r = Send(command, &ms);
            if (r == 1) {
                INST_LOG(LOG_INFO, "SetInstInfo set %s to \"%ld\" (%d ms)", v.label, value,
                         static_cast<int>(ms));
            }
            return r;
        }
        const char* value = v.text(kp_.instrument).text;
        FormatText(command, sizeof command, "set -%s %s\r", v.key, value);
        const int32_t r = Send(command, &ms);
        if (r == 1) {
            INST_LOG(LOG_INFO, "SetInstInfo set %s to \"%s\" (%d ms)", v.label, value,
                     static_cast<int>(ms));
        }
        return r;
    }

    // Every text is sent; the list counts as written only when each one was.
    int32_t CalList() {
        int32_t r = 1;  // no texts: nothing to write
        int32_t failed = 0;
        for (size_t i = 0; i < kCalTextCount && kp_.instrument.cal[i][0] != '\0'; ++i) {
            const char* text = kp_.instrument.cal[i];
            char command[kSetCommandCapacity];
            uint32_t ms = 0;
            FormatText(command, sizeof command, "set -cal %d %s\r", static_cast<int>(i), text);
            r = Send(command, &ms);
            if (r == 1) {
                INST_LOG(LOG_INFO, "SetInstInfo set cal %d to \"%s\" (%d ms)", static_cast<int>(i),
                         text, static_cast<int>(ms));
            } else if (r < 0 && failed == 0) {
                failed = r;
            }
        }
        return failed < 0 ? failed : r;
    }

    Korr_protocol& kp_;
    KorrLog* log;
};

}  // namespace

int32_t Korr_protocol::SetInstInfo(InstrumentFlags request) {
    if (request == 0) {
        INST_LOG(LOG_INFO, "SetInstInfo should be called with non-zero flags");
        return 0;
    }
    Restorer restorer(*this);
    int32_t result = 1;
    int32_t last = 0;
    bool anyWritten = false;
    for (;;) {
        if (request == 0) break;
        if (last == -32 || last == -33 || last == -21) {
            result = last;
            break;
        }
        if (last < 0) result = -35;
        InstrumentFlags bit = 0;
        for (InstrumentFlags candidate : kRestoreOrder) {
            if (request & candidate) {
                bit = candidate;
                break;
            }
        }
        if (bit == 0) break;  // only bits without a set command are left
        request &= ~bit;
        last = restorer.Step(*FindSettingRow(bit));
        if (last > 0) anyWritten = true;
    }
    // A failed last step is the whole result only when nothing else went back.
    if (result == 1 && last < 0) result = anyWritten ? -35 : last;
    if (result < 0) INST_LOG(LOG_INFO, "SetInstInfo could not restore all settings");
    return result;
}

}  // namespace korr
