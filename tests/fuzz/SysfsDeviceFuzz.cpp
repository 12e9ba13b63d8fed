// Whatever a USB device writes into its descriptors and sysfs shows of it, reading the tty's
// facts keeps only readable text (no control characters, no line ends) and reads the ids only
// from four hex digits.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzChecks.h"
#include "serial/SysfsPortSource.h"

namespace fs = std::filesystem;

namespace {

using korrtest::Check;

// A sysfs tree made once: class/tty/ttyUSB0 -> the tty under a USB interface under a device.
struct Tree {
    Tree() {
        // In memory where the system offers it: a disk makes every run slow.
        char inMemory[] = "/dev/shm/korr_sysfs_fuzz_XXXXXX";
        char onDisk[] = "/tmp/korr_sysfs_fuzz_XXXXXX";
        const char* made = ::mkdtemp(inMemory);
        if (made == nullptr) made = ::mkdtemp(onDisk);
        if (made == nullptr) __builtin_trap();
        root = made;
        usb = root / "devices/usb1/1-1";
        const fs::path tty = usb / "1-1:1.0/ttyUSB0";
        fs::create_directories(tty);
        fs::create_directories(root / "class/tty/ttyUSB0");
        fs::create_directory_symlink(tty, root / "class/tty/ttyUSB0/device");
        fs::create_directories(root / "bus/usb-serial/drivers/ftdi_sio");
        fs::create_directory_symlink(root / "bus/usb-serial/drivers/ftdi_sio", tty / "driver");
    }
    ~Tree() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root;
    fs::path usb;
};

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

bool Readable(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return text.empty() || (text.back() != ' ' && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Tree tree;
    // The attributes in turn, separated by NUL bytes: idVendor, idProduct, manufacturer,
    // product, serial, and the tty's UART type.
    const char* const files[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
    std::string parts[6];
    size_t part = 0;
    for (size_t i = 0; i < size && part < 6; ++i) {
        if (data[i] == '\0') {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    for (size_t i = 0; i < 5; ++i) Write(tree.usb / files[i], parts[i]);
    Write(tree.root / "class/tty/ttyUSB0/type", parts[5]);

    korr::PortDevice dev;
    korr::SysfsPortSource::ReadDevice((tree.root / "class/tty/ttyUSB0").string(), "ttyUSB0", dev);
    Check(dev.hasParent);
    Check(dev.driver == "ftdi_sio");
    Check(Readable(dev.manufacturer) && Readable(dev.product) && Readable(dev.serial));
    if (dev.isUsb) Check(!parts[0].empty() && !parts[1].empty());
    return 0;
}
