// Whatever strings the system (udev, sysfs, a USB device's own descriptors) reports for its
// serial devices, the port list keeps each name and description within its field, terminated,
// and lists only names it can open by.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "serial/CommPortEnum.h"
#include "serial/TablePortSource.h"

namespace {

using korrtest::Check;

// The input is a flag byte, then the devices' strings separated by '\n': name, manufacturer,
// product, serial, vendor name, model name, driver and ready-made name of each device in turn.
korr::PortDevice NextDevice(const std::vector<std::string>& strings, size_t* at, uint8_t flags) {
    // udev and sysfs hand over C strings: nothing after a NUL.
    auto next = [&] { return *at < strings.size() ? std::string(strings[(*at)++].c_str()) : ""; };
    korr::PortDevice dev;
    dev.name = next();
    // A node path would really be opened by the probe; the fuzzer opens nothing.
    if (!dev.name.empty() && dev.name[0] == '/') dev.name[0] = 'x';
    dev.manufacturer = next();
    dev.product = next();
    dev.serial = next();
    dev.vendorName = next();
    dev.modelName = next();
    dev.driver = next();
    dev.friendlyName = (flags & 1) ? next() : std::string();
    dev.hasParent = (flags & 2) == 0;
    dev.isUsb = (flags & 4) == 0;
    dev.uartType = (flags & 8) ? 0 : 4;
    dev.productId = (flags & 16) ? 0xE008 : static_cast<uint16_t>(flags * 257);
    dev.vendorId = 0x0403;
    return dev;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    std::vector<std::string> strings(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == '\n') {
            strings.emplace_back();
        } else {
            strings.back() += static_cast<char>(data[i]);
        }
    }
    korr::TablePortSource source;
    for (size_t at = 0; at < strings.size() && source.devices.size() < 20;) {
        source.devices.push_back(NextDevice(strings, &at, flags));
        for (const std::string& s : {source.devices.back().product, source.devices.back().serial}) {
            Check(korr::CleanDeviceText(s).size() <= s.size());
        }
    }
    korr::KorrSerial enumerator;
    korr::CommPortInfo list[korr::kCommPortListSize];
    int32_t count = korr::kCommPortListSize;
    if (korr::CommPortEnum(enumerator, list, &count, (flags & 32) != 0, source) < 0) return 0;
    Check(count >= 0 && count <= korr::kCommPortListSize);
    for (int32_t i = 0; i < count; ++i) {
        Check(strnlen(list[i].name, sizeof list[i].name) < sizeof list[i].name);
        Check(strnlen(list[i].description, sizeof list[i].description) <
              sizeof list[i].description);
        Check(list[i].name[0] != '\0');
        if (i > 0) Check(korr::ComparePortNames(list[i - 1].name, list[i].name) <= 0);
    }
    return 0;
}
