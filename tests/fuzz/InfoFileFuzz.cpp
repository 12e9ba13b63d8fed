// Whatever a settings file holds, reading it for any family stores nothing beyond a field and
// leaves every text terminated. The first byte picks the device type the file is read for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/FuzzChecks.h"
#include "instrument/InfoFile.h"
#include "instrument/Korr_protocol.h"

namespace {

using korrtest::Check;

template <size_t N>
bool Terminated(const char (&text)[N]) {
    return std::memchr(text, '\0', N) != nullptr;
}

constexpr uint8_t kTypes[] = {2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

const std::string& FilePath() {
    static const std::string path = "/tmp/fuzz_info_file." + std::to_string(::getpid());
    return path;
}

void CheckHeld(const korr::Korr_protocol& p) {
    const korr::DeviceSettingsRecord& s = p.loggerSettings;
    Check(Terminated(s.deviceName) && Terminated(s.serialNumber) && Terminated(s.site) &&
          Terminated(s.authKey) && Terminated(s.remoteHost) && Terminated(s.build));
    const korr::InstrumentSettings& i = p.instrument;
    Check(Terminated(i.name) && Terminated(i.serialNumber) && Terminated(i.adc) &&
          Terminated(i.hadj) && Terminated(i.cal[19]));
    for (const korr::RecordSet* set : {&p.userRecords, &p.eqnRecords}) {
        Check(set->count >= 0 && set->count <= 100);
        for (int32_t k = 0; k < set->count; ++k) Check(Terminated(set->records[k].text));
    }
    Check(std::memchr(p.sdi->calibration1.data(), '\0', p.sdi->calibration1.size()) != nullptr);
    Check(std::memchr(p.sdi->calibration2.data(), '\0', p.sdi->calibration2.size()) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    korr::Korr_protocol p(nullptr);
    p.deviceType = kTypes[data[0] % sizeof kTypes];
    // The lookups on the text as it stands, and the whole reader through a file.
    char value[16];
    korr::GetFileString(text.c_str(), "sn", value, sizeof value);
    Check(Terminated(value));
    korr::InfoFileDeviceType(text.c_str());
    FILE* f = std::fopen(FilePath().c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    int32_t r = p.ReadInfoFile(FilePath().c_str());
    Check(r == 1 || r == -30 || r == -13);
    CheckHeld(p);
    return 0;
}
