#include "serial/UdevPortSource.h"

#include <libudev.h>

#include <cstdlib>
#include <memory>

#include "serial/PosixPort.h"

namespace korr {

namespace {

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;
using DevicePtr = std::unique_ptr<udev_device, UdevUnref>;

std::string Text(const char* value) {
    return value != nullptr ? CleanDeviceText(value) : "";
}

bool ParseHexId(const char* text, uint16_t* id) {
    if (text == nullptr || text[0] == '\0') return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 16);
    if (*end != '\0' || value > 0xFFFF) return false;
    *id = static_cast<uint16_t>(value);
    return true;
}

// The parent devices belong to the tty device; libudev frees them with it.
void ReadUsbDevice(udev_device* tty, PortDevice& dev) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    if (usb == nullptr) return;
    if (!ParseHexId(udev_device_get_sysattr_value(usb, "idVendor"), &dev.vendorId) ||
        !ParseHexId(udev_device_get_sysattr_value(usb, "idProduct"), &dev.productId)) {
        return;
    }
    dev.isUsb = true;
    dev.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    dev.product = Text(udev_device_get_sysattr_value(usb, "product"));
    dev.serial = Text(udev_device_get_sysattr_value(usb, "serial"));
}

void ReadDevice(udev_device* tty, PortDevice& dev) {
    dev.name = Text(udev_device_get_sysname(tty));
    udev_device* parent = udev_device_get_parent(tty);
    if (parent == nullptr) return;  // a virtual console or another tty without hardware
    dev.hasParent = true;
    const char* type = udev_device_get_sysattr_value(tty, "type");
    if (type != nullptr) dev.uartType = std::atoi(type);
    dev.driver = Text(udev_device_get_driver(parent));
    ReadUsbDevice(tty, dev);
    // Only the database has these; without it the ids and strings above still stand.
    if (udev_device_get_is_initialized(tty) > 0) {
        dev.vendorName = Text(udev_device_get_property_value(tty, "ID_VENDOR_FROM_DATABASE"));
        dev.modelName = Text(udev_device_get_property_value(tty, "ID_MODEL_FROM_DATABASE"));
    }
}

}  // namespace

bool UdevPortSource::Enumerate(std::vector<PortDevice>& out) {
    UdevPtr context(udev_new());
    if (context == nullptr) return sysfs_.Enumerate(out);
    EnumeratePtr scan(udev_enumerate_new(context.get()));
    if (scan == nullptr || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return sysfs_.Enumerate(out);
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        DevicePtr tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (tty == nullptr) continue;  // gone since the scan
        PortDevice dev;
        ReadDevice(tty.get(), dev);
        out.push_back(std::move(dev));
    }
    return true;
}

void UdevPortSource::ProbeNames(std::vector<std::string>& out) {
    sysfs_.ProbeNames(out);
}

int32_t UdevPortSource::Probe(const char* name) {
    return ProbePortLock(name);
}

}  // namespace korr
