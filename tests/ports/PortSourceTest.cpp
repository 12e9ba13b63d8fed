// Where the port list comes from: name order, the nodes tried for every port, sysfs read from a
// tree of the test's own, and udev against sysfs on this machine (reading only, opening nothing).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "serial/PortSource.h"
#include "serial/SysfsPortSource.h"
#include "serial/UdevPortSource.h"
#include "support/TempDir.h"

using namespace korr;
namespace fs = std::filesystem;

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(ComparePortNames, DigitRunsCompareByValue) {
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"ttyS2", "ttyS10", -1},   {"ttyS10", "ttyS2", 1},      {"ttyACM9", "ttyS0", -1},
        {"ttyS15", "ttyUSB0", -1}, {"ttyS1", "ttyS1", 0},       {"ttyS01", "ttyS1", 0},
        {"ttyS", "ttyS0", -1},     {"ttyUSB1", "ttyUSB10", -1}, {"/dev/pts/3", "ttyS0", -1},
        {"ttyS0", "ttyS00a", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sign(ComparePortNames(c.a, c.b)), c.order) << c.a << " vs " << c.b;
    }
}

TEST(CleanDeviceText, KeepsWhatAPersonCanRead) {
    EXPECT_EQ(CleanDeviceText("FT232R USB UART\n"), "FT232R USB UART");
    EXPECT_EQ(CleanDeviceText("A\tB\x1b[2J\x7f"), "A B [2J");
    EXPECT_EQ(CleanDeviceText("  \n"), "");
}

TEST(SystemProbeNames, FixedUartsAndThePresentUsbAndAcmNodes) {
    korrtest::TempDir dev;
    for (const char* node :
         {"ttyUSB10", "ttyUSB1", "ttyACM0", "ttyUSBx", "ttyS3", "tty5", "ttyACM"}) {
        korrtest::WriteFile(dev.File(node), "");
    }
    std::vector<std::string> names;
    SystemProbeNames(dev.Path().c_str(), names);
    std::vector<std::string> expected = {"ttyACM0"};
    for (int n = 0; n < 16; ++n) expected.push_back("ttyS" + std::to_string(n));
    expected.insert(expected.end(), {"ttyUSB1", "ttyUSB10"});
    EXPECT_EQ(names, expected);
}

// A small sysfs of the test's own, laid out as the kernel lays it out.
class FakeSysfs {
  public:
    korrtest::TempDir dir;
    fs::path root = dir.Path();

    void File(const std::string& path, const std::string& text) {
        fs::create_directories((root / path).parent_path());
        korrtest::WriteFile((root / path).string(), text);
    }
    void Link(const std::string& path, const std::string& target) {
        fs::create_directories((root / path).parent_path());
        fs::create_directory_symlink(target, root / path);
    }
    void Driver(const std::string& device, const std::string& driver) {
        fs::create_directories(root / "bus/drivers" / driver);
        Link(device + "/driver", (root / "bus/drivers" / driver).string());
    }
    // The class entry of a tty under `device` (empty: a virtual tty without one).
    void Tty(const std::string& name, const std::string& device, const std::string& type = "") {
        std::string ttyDir =
            device.empty() ? "devices/virtual/tty/" + name : device + "/tty/" + name;
        fs::create_directories(root / ttyDir);
        if (!device.empty()) Link(ttyDir + "/device", "../..");
        if (!type.empty()) File(ttyDir + "/type", type);
        Link("class/tty/" + name, (root / ttyDir).string());
    }
};

std::map<std::string, PortDevice> ByName(const std::vector<PortDevice>& devices) {
    std::map<std::string, PortDevice> out;
    for (const PortDevice& d : devices) out[d.name] = d;
    return out;
}

TEST(SysfsPortSource, ReadsParentsTypesDriversAndTheUsbDeviceAbove) {
    FakeSysfs sys;
    const std::string hub = "devices/pci0000:00/usb1";
    sys.File(hub + "/idVendor", "1d6b\n");  // the root hub must not be taken for the adapter
    sys.File(hub + "/idProduct", "0002\n");
    sys.File(hub + "/1-1/idVendor", "0403\n");
    sys.File(hub + "/1-1/idProduct", "8414\n");
    sys.File(hub + "/1-1/manufacturer", "Korrin\n");
    sys.File(hub + "/1-1/product", "Korrin\tUSB\n");
    sys.File(hub + "/1-1/serial", "KORRIN_UCA[7]\n");
    sys.Driver(hub + "/1-1/1-1:1.0/ttyUSB0", "ftdi_sio");
    sys.Tty("ttyUSB0", hub + "/1-1/1-1:1.0/ttyUSB0");
    sys.File(hub + "/1-2/idVendor", "2341\n");
    sys.File(hub + "/1-2/idProduct", "0043\n");
    sys.Driver(hub + "/1-2/1-2:1.0", "cdc_acm");
    sys.Tty("ttyACM0", hub + "/1-2/1-2:1.0");
    sys.Driver("devices/pnp0/00:01", "serial");
    sys.Tty("ttyS0", "devices/pnp0/00:01", "4\n");
    sys.Tty("ttyS1", "devices/platform/serial8250", "0\n");
    sys.Tty("tty1", "");

    SysfsPortSource source(sys.root.string(), "/nonexistent");
    std::vector<PortDevice> found;
    ASSERT_TRUE(source.Enumerate(found));
    auto devices = ByName(found);
    ASSERT_EQ(devices.size(), 5u);

    const PortDevice& usb = devices["ttyUSB0"];
    EXPECT_TRUE(usb.hasParent && usb.isUsb);
    EXPECT_EQ(usb.vendorId, 0x0403);
    EXPECT_EQ(usb.productId, 0x8414);
    EXPECT_EQ(usb.manufacturer, "Korrin");
    EXPECT_EQ(usb.product, "Korrin USB");
    EXPECT_EQ(usb.serial, "KORRIN_UCA[7]");
    EXPECT_EQ(usb.driver, "ftdi_sio");
    EXPECT_EQ(usb.uartType, -1);

    const PortDevice& acm = devices["ttyACM0"];
    EXPECT_TRUE(acm.isUsb);
    EXPECT_EQ(acm.productId, 0x0043);
    EXPECT_EQ(acm.product, "");
    EXPECT_EQ(acm.driver, "cdc_acm");

    EXPECT_TRUE(devices["ttyS0"].hasParent);
    EXPECT_FALSE(devices["ttyS0"].isUsb);
    EXPECT_EQ(devices["ttyS0"].uartType, 4);
    EXPECT_EQ(devices["ttyS0"].driver, "serial");
    EXPECT_EQ(devices["ttyS1"].uartType, 0);
    EXPECT_FALSE(devices["tty1"].hasParent);
}

TEST(SysfsPortSource, NoSysfsMeansNoEnumeration) {
    korrtest::TempDir empty;
    SysfsPortSource source(empty.File("sys"));
    std::vector<PortDevice> found;
    EXPECT_FALSE(source.Enumerate(found));
    EXPECT_TRUE(found.empty());
}

auto Facts(const PortDevice& d) {
    return std::tie(d.name, d.hasParent, d.uartType, d.isUsb, d.vendorId, d.productId,
                    d.manufacturer, d.product, d.serial, d.driver);
}

// Whatever this machine has, with or without a udev database, both ways read the same facts.
TEST(UdevPortSource, AgreesWithSysfsOnThisMachine) {
    UdevPortSource udev;
    SysfsPortSource sysfs;
    std::vector<PortDevice> fromUdev;
    std::vector<PortDevice> fromSysfs;
    ASSERT_TRUE(udev.Enumerate(fromUdev));
    if (!sysfs.Enumerate(fromSysfs)) GTEST_SKIP() << "no /sys/class/tty here";
    auto a = ByName(fromUdev);
    auto b = ByName(fromSysfs);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, dev] : a) {
        ASSERT_TRUE(b.count(name)) << name;
        EXPECT_EQ(Facts(dev), Facts(b[name])) << name;
    }
}

}  // namespace
