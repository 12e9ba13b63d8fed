// Whatever a sensor (or line noise) answers, the SDI-12 layer reads it without harm: the reply
// fields on their own, and every sensor operation against a sensor that answers each command
// with the fuzz input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/Device.h"
#include "core/Link.h"
#include "device/MORVA_Protocol.h"
#include "fuzz/FuzzChecks.h"
#include "host/SimBench.h"
#include "sdi/KorrSDI12.h"
#include "sdi/SdiReply.h"

namespace {

using korrtest::CheckTerminated;

// Answers every SDI-12 command (text up to '!') and every probe with the same bytes.
class FuzzSensor : public korrsim::Device {
  public:
    FuzzSensor(korrsim::Link& link, std::string reply) : link_(link), reply_(std::move(reply)) {
        link_.AttachDevice(this);
    }
    ~FuzzSensor() override { link_.AttachDevice(nullptr); }
    FuzzSensor(const FuzzSensor&) = delete;
    FuzzSensor& operator=(const FuzzSensor&) = delete;

    void OnByte(uint8_t byte) override {
        if (byte == '!') link_.DeviceSend(reply_);
    }

  private:
    korrsim::Link& link_;
    std::string reply_;
};

constexpr size_t kLongestUsefulAnswer = 300;

void ParseFields(const std::string& reply) {
    char identification[korr::kSDIIdentificationCapacity];
    korr::SDIIdentificationText(reply.c_str(), identification, sizeof identification);
    CheckTerminated(identification, sizeof identification);
    if (korr::SDIFirmwareVersion(reply.c_str()) > 999) __builtin_trap();
    char value[korr::kSDICalibrationCapacity];
    korr::SDIValueText(reply.c_str(), value, sizeof value);
    CheckTerminated(value, sizeof value);
    korr::SDISensorTypeOf(reply.c_str());
    korr::SDITypeFromIdentification(reply.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    ParseFields(reply);
    // The exchange reads at most 128 bytes; a longer answer only costs line time.
    if (reply.size() > kLongestUsefulAnswer) return 0;

    korrsim::SimBench bench;
    FuzzSensor sensor(bench.Line(), reply);
    korr::MORVA_Protocol link(nullptr);
    if (korr::KSOpen(link.port, bench.Port(), 9600) != 1) return 0;
    korr::KorrSDI12 sdi(nullptr, &link);
    sdi.tries = 1 + ((mode >> 1) & 1);
    if (mode & 1) sdi.sensorType = korr::kSensorTypeTwoCalibrations;
    if (mode & 4) {
        sdi.SDISetSensorAddress('5');
    } else {
        sdi.SDIReadSensorInfo();
    }
    if (mode & 8) sdi.SDISetSensorCalibration((mode & 16) ? "A=1" : nullptr);
    CheckTerminated(sdi.identification.data(), sdi.identification.size());
    CheckTerminated(sdi.calibration1.data(), sdi.calibration1.size());
    CheckTerminated(sdi.calibration2.data(), sdi.calibration2.size());
    CheckTerminated(sdi.replyBuffer.data(), sdi.replyBuffer.size());
    return 0;
}
