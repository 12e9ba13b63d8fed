// The one SDI-12 exchange: the wake byte, the command, the sensor's answer, and the recovery
// when the sensor stays silent.
#include "sdi/KorrSDI12.h"

#include <cstring>

#include "common/FixedText.h"
#include "sdi/SdiLog.h"
#include "serial/Clock.h"

namespace korr {

namespace {

// The communication device passes traffic to the SDI-12 bus after this byte, and the sensor
// needs a moment to wake up before it listens.
constexpr char kWakeByte = '|';
constexpr uint32_t kWakePauseMs = 175;
// The bus probe: a few wake bytes, then the address query that any awake sensor answers.
constexpr int kProbeWakeBytes = 3;
constexpr uint32_t kProbeWakeGapMs = 30;
constexpr const char* kAddressQuery = "?!";
constexpr uint32_t kProbeTimeoutMs = 500;
constexpr uint32_t kReadLimit = kSDIReplyCapacity - 1;

}  // namespace

KorrSDI12::KorrSDI12(KorrLog* logTo, MORVA_Protocol* deviceLink) : log(logTo), link(deviceLink) {}

KorrSDI12::~KorrSDI12() {
    log = nullptr;
    link = nullptr;  // owned by the instrument connection
}

namespace {

// Writes the wake byte and lets the sensor wake up.
int32_t WakeBus(KorrSDI12& sdi) {
    const int32_t r = KSWrite(sdi.link->port, &kWakeByte, 1);
    if (r < 0) return r;
    DelayMs(kWakePauseMs);
    return 1;
}

// Line ends at the head of a reply are the tail of an earlier answer (the probe's, when the
// attempt after it goes without the wake byte); they are dropped so that the reply starts with
// the sensor's address. Returns the bytes left.
uint32_t DropLeadingLineEnds(char* reply, uint32_t received) {
    uint32_t skip = 0;
    while (skip < received && (reply[skip] == '\r' || reply[skip] == '\n')) ++skip;
    std::memmove(reply, reply + skip, received - skip);
    reply[received - skip] = '\0';
    return received - skip;
}

// Asks whoever is on the bus for an address. Above 0 when something answered, 0 when the bus
// is silent, negative for a port error.
int32_t ProbeBus(KorrSDI12& sdi) {
    KorrSerial& port = sdi.link->port;
    for (int i = 0; i < kProbeWakeBytes; ++i) {
        const int32_t r = KSWrite(port, &kWakeByte, 1);
        if (r < 0) return r;
        SleepMs(kProbeWakeGapMs);
    }
    KSPurge(port);
    sdi.replyBuffer[0] = '\0';
    int32_t r = KSWrite(port, kAddressQuery, static_cast<uint32_t>(std::strlen(kAddressQuery)));
    if (r < 0) return r;
    r = KSWait(port, kProbeTimeoutMs, '\r');
    if (r < 0) return r;
    uint32_t received = 0;
    r = KSRead(port, sdi.replyBuffer.data(), kReadLimit, &received);
    if (r < 0) return r;
    sdi.replyBuffer[received] = '\0';
    return static_cast<int32_t>(received);
}

// One attempt: the command out, the answer in. The bytes received, or a port error.
int32_t Attempt(KorrSDI12& sdi, const char* command) {
    KorrSerial& port = sdi.link->port;
    // Every attempt starts from an empty input, also the one without the wake byte.
    KSPurge(port);
    sdi.replyBuffer[0] = '\0';
    int32_t r = KSWrite(port, command, static_cast<uint32_t>(std::strlen(command)));
    if (r < 0) {
        SDI_LOG(sdi, "SDISendCommand got unexpected response (%d) from KCommWrite", r);
        return r;
    }
    SDI_LOG(sdi, "SDISendCommand sent \"%s\"", command);
    r = KSWait(port, sdi.timeoutMs, '\r');
    if (r < 0) {
        SDI_LOG(sdi, "SDISendCommand got unexpected response (%d) from KCommWait", r);
        return r;
    }
    uint32_t received = 0;
    r = KSRead(port, sdi.replyBuffer.data(), kReadLimit, &received);
    if (r < 0) {
        SDI_LOG(sdi, "SDISendCommand got unexpected response (%d) from KCommRead", r);
        return r;
    }
    sdi.replyBuffer[received] = '\0';
    received = DropLeadingLineEnds(sdi.replyBuffer.data(), received);
    if (received > 0) SDI_LOG(sdi, "SDISendCommand recieved \"%s\"", sdi.replyBuffer.data());
    return static_cast<int32_t>(received);
}

// The attempts of one exchange: the bytes received, or -21, -22 or a port error.
int32_t Exchange(KorrSDI12& sdi, const char* command) {
    bool wake = true;
    int32_t result = -22;  // stays so when the attempts run out unanswered
    for (uint32_t attempt = 0; attempt < sdi.tries; ++attempt) {
        if (wake && (result = WakeBus(sdi)) < 0) {
            SDI_LOG(sdi, "SDISendCommand got unexpected response (%d) from KCommWrite", result);
            return result;
        }
        if ((result = Attempt(sdi, command)) != 0) return result;
        // Silence: is anyone on the bus at all? If so, the sensor may want the other way of
        // being addressed (with or without the wake byte) on the next attempt.
        const int32_t probe = ProbeBus(sdi);
        if (probe <= 0) return probe < 0 ? probe : -21;
        result = -22;
        wake = !wake;
    }
    return result;
}

}  // namespace

int32_t KorrSDI12::SDISendCommand(const char* command, char* reply, uint32_t* replyLength,
                                  uint32_t* elapsedMs) {
    const uint32_t start = TickMs();
    const int32_t received = command != nullptr && link != nullptr ? Exchange(*this, command) : -10;
    if (elapsedMs != nullptr) *elapsedMs = TickMs() - start;
    if (received < 0) {
        if (reply != nullptr) reply[0] = '\0';
        if (replyLength != nullptr) *replyLength = 0;
        return received;
    }
    if (reply != nullptr && replyLength != nullptr && *replyLength > 0) {
        const size_t copied = CopyText(reply, *replyLength, replyBuffer.data());
        *replyLength = static_cast<uint32_t>(copied);
        if (copied < static_cast<size_t>(received)) {
            SDI_LOG(*this, "DeviceCommand got %d more bytes than expected (%s)",
                    static_cast<int>(static_cast<size_t>(received) - copied), command);
        }
    }
    return received;
}

}  // namespace korr
