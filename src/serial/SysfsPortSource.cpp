#include "serial/SysfsPortSource.h"

#include <dirent.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serial/PosixPort.h"

namespace korr {

namespace fs = std::filesystem;

namespace {

// A USB device sits a few levels above its tty (device, interface, tty); stop well before the
// root of the device tree.
constexpr int kMaxLevelsUp = 8;

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text(256, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return CleanDeviceText(std::move(text));
}

// sysfs writes ids as four hex digits.
bool ReadHexId(const fs::path& file, uint16_t* id) {
    std::string text = ReadAttribute(file);
    if (text.empty() || text.size() > 4) return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end == nullptr || *end != '\0') return false;
    *id = static_cast<uint16_t>(value);
    return true;
}

std::string LinkTargetName(const fs::path& link) {
    std::error_code ec;
    fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

void ReadUsbParent(const fs::path& device, PortDevice& dev) {
    fs::path dir = device;
    for (int level = 0; level < kMaxLevelsUp && dir.has_relative_path(); ++level) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            if (!ReadHexId(dir / "idVendor", &dev.vendorId) ||
                !ReadHexId(dir / "idProduct", &dev.productId)) {
                return;
            }
            dev.isUsb = true;
            dev.manufacturer = ReadAttribute(dir / "manufacturer");
            dev.product = ReadAttribute(dir / "product");
            dev.serial = ReadAttribute(dir / "serial");
            return;
        }
        dir = dir.parent_path();
    }
}

}  // namespace

void SysfsPortSource::ReadDevice(const std::string& classDir, const std::string& name,
                                 PortDevice& dev) {
    dev.name = name;
    const fs::path entry(classDir);
    std::error_code ec;
    fs::path device = fs::canonical(entry / "device", ec);
    if (ec) return;  // a virtual console or another tty without hardware
    dev.hasParent = true;
    std::string type = ReadAttribute(entry / "type");
    if (!type.empty()) dev.uartType = std::atoi(type.c_str());
    dev.driver = LinkTargetName(device / "driver");
    ReadUsbParent(device, dev);
}

bool SysfsPortSource::Enumerate(std::vector<PortDevice>& out) {
    const std::string classDir = sysRoot_ + "/class/tty";
    DIR* dir = ::opendir(classDir.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        PortDevice dev;
        ReadDevice(classDir + "/" + entry->d_name, entry->d_name, dev);
        out.push_back(std::move(dev));
    }
    ::closedir(dir);
    return true;
}

void SysfsPortSource::ProbeNames(std::vector<std::string>& out) {
    SystemProbeNames(devDir_.c_str(), out);
}

int32_t SysfsPortSource::Probe(const char* name) {
    return ProbePortLock(name);
}

}  // namespace korr
