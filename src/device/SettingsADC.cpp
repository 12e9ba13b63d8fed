// The ADC calibration factors: two sets ("-adc30", "-adc15") of five factor pairs with a
// checksum, or a single pair on devices that know only the short form.
#include <cstdlib>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int kPairs = 5;
constexpr int kLongCount = 2 * kPairs + 1;  // the pairs, then the checksum
constexpr int kShortCount = 3;              // one pair, then the checksum
constexpr unsigned long kMaxFactor = 254;   // 0 and 255 mark a factor as missing
constexpr uint32_t kADCReplyCapacity = 128;

const char* SetName(int set) {
    if (set == kADCSet30) return "-adc30";
    if (set == kADCSet15) return "-adc15";
    return "unknown";
}

unsigned Checksum(const uint8_t* a, const uint8_t* b) {
    unsigned sum = 0;
    for (int i = 0; i < kPairs; ++i) sum += a[i] + b[i];
    return sum % 256;
}

int32_t WriteADC(MORVA_Protocol& link, const char* name, const uint8_t* a, const uint8_t* b,
                 uint32_t start) {
    char command[kCommandCapacity];
    unsigned sum;
    if (link.settings.capabilities & kCapADCShort) {
        sum = (a[0] + b[0]) % 256u;
        FormatText(command, sizeof command, "set %s %u %u %u\r", name, a[0], b[0], sum);
    } else {
        sum = Checksum(a, b);
        FormatText(command, sizeof command, "set %s %u %u %u %u %u %u %u %u %u %u %u\r", name, a[0],
                   b[0], a[1], b[1], a[2], b[2], a[3], b[3], a[4], b[4], sum);
    }
    int32_t r = SendSet(link, command, Confirm::kOK, kADCReplyCapacity);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "ADCcalCommand set %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)",
             name, a[0], b[0], a[1], b[1], a[2], b[2], a[3], b[3], a[4], b[4], sum,
             ElapsedMs(start));
    return 1;
}

int ScanFactors(const char* text, unsigned long* values) {
    int found = 0;
    while (found < kLongCount) {
        char* end = nullptr;
        unsigned long n = std::strtoul(text, &end, 10);
        if (end == text) break;
        values[found++] = n;
        text = end;
    }
    return found;
}

// Stores a factor as the device gave it, 255 for anything larger; false when it is missing.
bool StoreFactor(unsigned long value, uint8_t* factor) {
    *factor = static_cast<uint8_t>(value > kMaxFactor ? 255 : value);
    return value >= 1 && value <= kMaxFactor;
}

int32_t ReadADC(MORVA_Protocol& link, const char* name, uint8_t* a, uint8_t* b, uint32_t start) {
    char reply[kReplyTextCapacity];
    int32_t r = GetSetting(link, name, reply, kADCReplyCapacity);
    if (r < 0) return r;
    unsigned long v[kLongCount] = {};
    const int found = ScanFactors(reply, v);
    const bool shortForm = (link.settings.capabilities & kCapADCShort) != 0;
    if (found != (shortForm ? kShortCount : kLongCount)) {
        LINK_LOG(link, LOG_VERBOSE, "ADCcalCommand only found %d of %d cal %s factors (%d ms)",
                 found, kLongCount, name, ElapsedMs(start));
        return -30;
    }
    bool valid = true;
    const int pairs = shortForm ? 1 : kPairs;
    for (int i = 0; i < kPairs; ++i) {
        a[i] = b[i] = 0;  // a short-form device has one pair only
        if (i >= pairs) continue;
        valid = StoreFactor(v[2 * i], &a[i]) && valid;
        valid = StoreFactor(v[2 * i + 1], &b[i]) && valid;
    }
    const unsigned long checksum = v[found - 1];
    if (Checksum(a, b) != checksum) valid = false;
    LINK_LOG(link, LOG_VERBOSE,
             "ADCcalCommand found (%s) %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)",
             valid ? "valid" : "not valid", name, a[0], b[0], a[1], b[1], a[2], b[2], a[3], b[3],
             a[4], b[4], static_cast<unsigned>(checksum), ElapsedMs(start));
    return valid ? 1 : -1;
}

}  // namespace

int32_t ADCcalCommand(MORVA_Protocol& link, int set, uint8_t* factorsA, uint8_t* factorsB,
                      int mode) {
    const uint32_t start = TickMs();
    const char* name = SetName(set);
    int32_t result;
    if (factorsA == nullptr || factorsB == nullptr) {
        result = -10;
    } else if (set != kADCSet30 && set != kADCSet15) {
        result = -11;
    } else if ((link.settings.capabilities & kCapADCcal) == 0) {
        result = -1;
    } else if (mode == kSettingWrite) {
        result = WriteADC(link, name, factorsA, factorsB, start);
    } else {
        result = ReadADC(link, name, factorsA, factorsB, start);
    }
    if (result < 0) {
        LINK_LOG(link, LOG_ERROR, "ADCcalCommand (%s) failed with error %d (%d ms)", name, result,
                 ElapsedMs(start));
    }
    return result;
}

}  // namespace korr
