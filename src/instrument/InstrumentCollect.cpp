// GetInstInfo: collects the instrument settings named by a request word, one step per setting
// in a fixed order, going on past failures so that as much as possible is kept.
#include "common/FixedText.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentSettingTable.h"

namespace korr {

namespace {

constexpr uint32_t kGetTimeoutMs = 1000;
constexpr int kNotInitialisedPasses = 5;

// The first setting of `order` that the request names; 0 when none does.
template <size_t N>
InstrumentFlags FirstRequested(const InstrumentFlags (&order)[N], InstrumentFlags request) {
    for (InstrumentFlags bit : order) {
        if (request & bit) return bit;
    }
    return 0;
}

class Collector {
  public:
    explicit Collector(Korr_protocol& kp) : kp_(kp) {}

    int32_t Step(const SettingRow& row) {
        switch (row.step) {
            case StepKind::Plain:
            case StepKind::SerialNumber:
                return Keep(row.bit, Read(row.values[0]));
            case StepKind::Sample:
                Keep(row.bit, Read(row.values[0]));
                return 1;  // an instrument without a sample setting is no failure
            case StepKind::Cal:
                return CalList();
            case StepKind::HadjTau: {
                // An instrument without hadj is no failure; hadj without its tau would be
                // written back with a tau it never had.
                if (Read(row.values[0]) <= 0) return 1;
                return Keep(row.bit, Read(row.values[1]));
            }
            case StepKind::PandPv: {
                int32_t r = Keep(row.bit, Read(row.values[0]));
                if (r > 0) r = Keep(row.bit, Read(row.values[1]));
                return r;
            }
            case StepKind::Records: {
                RecordSet& set = row.recordType == kRecordUser ? kp_.userRecords : kp_.eqnRecords;
                const int32_t r = kp_.GetRecords_Serial(set, row.recordType);
                // Records read before the list broke off are kept, and the step still fails.
                Keep(row.bit, r > 0 || set.count > 0 ? 1 : r);
                return r;
            }
        }
        return -11;
    }

  private:
    int32_t Keep(InstrumentFlags bit, int32_t r) {
        if (r > 0) kp_.instrumentFlags |= bit;
        return r;
    }

    int32_t Read(const SettingValue& v) {
        char command[32];
        FormatText(command, sizeof command, "get -%s", v.key);
        if (v.kind == ValueKind::Number) {
            return kp_.GetValueLong(command, kGetTimeoutMs, v.number(kp_.instrument));
        }
        const TextField field = v.text(kp_.instrument);
        const size_t capacity = v.longest + 1 < field.capacity ? v.longest + 1 : field.capacity;
        return kp_.GetValueString(command, kGetTimeoutMs, field.text, capacity);
    }

    // The list ends at the first index the instrument cannot give; only an empty list fails.
    int32_t CalList() {
        size_t index = 0;
        int32_t r = 1;
        for (; index < kCalTextCount; ++index) {
            char command[32];
            FormatText(command, sizeof command, "get -cal %d", static_cast<int>(index));
            r = Keep(kInstCal, kp_.GetValueString(command, kGetTimeoutMs, kp_.instrument.cal[index],
                                                  kCalTextCapacity - 1));
            if (r <= 0) break;
        }
        // Texts left from an earlier, longer list would be restored as if they were this one's.
        for (size_t rest = index; rest < kCalTextCount; ++rest) kp_.instrument.cal[rest][0] = '\0';
        return index == 0 ? r : 1;
    }

    Korr_protocol& kp_;
};

}  // namespace

int32_t Korr_protocol::GetInstInfo(InstrumentFlags request) {
    if (request == 0) {
        INST_LOG(LOG_INFO, "GetInstInfo should be called with non-zero flags");
        return 0;
    }
    instrumentType = deviceType;
    Collector collector(*this);
    int32_t result = 1;
    int32_t last = 0;
    int retries = 0;
    bool first = true;
    InstrumentFlags previous = 0;
    for (;;) {
        if (request == 0 || (!first && request == previous)) break;
        if (last == -32 || last == -21) {
            result = last;
            break;
        }
        if (last == -36) {
            if (++retries >= kNotInitialisedPasses) {
                result = -36;
                break;
            }
            request |= kInstSerialNumber;
        } else if (last < 0) {
            result = -35;
        } else {
            retries = 0;
        }
        first = false;
        previous = request;
        const InstrumentFlags bit = FirstRequested(kCollectOrder, request);
        if (bit == 0) continue;  // only bits without a setting are left
        request &= ~bit;
        last = collector.Step(*FindSettingRow(bit));
    }
    if (result == 1 && last < 0) result = last;
    if (result < 0) INST_LOG(LOG_INFO, "GetInstInfo could not collect all settings");
    return result;
}

}  // namespace korr
