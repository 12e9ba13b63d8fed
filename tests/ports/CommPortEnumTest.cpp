// The port list from a table of devices: order, what is skipped, descriptions, the maker's
// adapters, busy marks and trying further nodes. No real port is opened here.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "log/KorrLog.h"
#include "serial/CommPortEnum.h"
#include "serial/TablePortSource.h"
#include "support/TempDir.h"

using namespace korr;

namespace {

PortDevice Dev(const char* name, bool hasParent = true) {
    PortDevice d;
    d.name = name;
    d.hasParent = hasParent;
    return d;
}

PortDevice Uart(const char* name, int32_t type = 4) {
    PortDevice d = Dev(name);
    d.uartType = type;
    d.driver = "serial";
    return d;
}

PortDevice Usb(const char* name, uint16_t productId, const char* manufacturer, const char* product,
               const char* serial = "") {
    PortDevice d = Dev(name);
    d.isUsb = true;
    d.vendorId = 0x0403;
    d.productId = productId;
    d.manufacturer = manufacturer;
    d.product = product;
    d.serial = serial;
    d.driver = "ftdi_sio";
    return d;
}

PortDevice Named(const char* name, const char* friendlyName) {
    PortDevice d = Dev(name);
    d.friendlyName = friendlyName;
    return d;
}

PortDevice Driven(const char* name, const char* driver) {
    PortDevice d = Dev(name);
    d.driver = driver;
    return d;
}

PortDevice InDatabase(const char* name, const char* vendorName, const char* modelName) {
    PortDevice d = Uart(name);
    d.vendorName = vendorName;
    d.modelName = modelName;
    return d;
}

class CommPortEnumTest : public ::testing::Test {
  protected:
    korrtest::TempDir dir;
    std::string logPath = dir.File("log.txt");
    KorrLog log{logPath.c_str(), LOG_TRACE};
    KorrSerial enumerator{&log};
    TablePortSource source;
    CommPortInfo list[kCommPortListSize] = {};
    int32_t count = 0;

    int32_t Run(bool findAll = false, int32_t capacity = kCommPortListSize) {
        count = capacity;
        return CommPortEnum(enumerator, list, &count, findAll, source);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int32_t i = 0; i < count; ++i) names.emplace_back(list[i].name);
        return names;
    }
    std::vector<std::string> Descriptions() const {
        std::vector<std::string> out;
        for (int32_t i = 0; i < count; ++i) out.emplace_back(list[i].description);
        return out;
    }
};

using Strings = std::vector<std::string>;

TEST_F(CommPortEnumTest, PortsComeBackInNaturalNameOrder) {
    source.devices = {Uart("ttyS12"), Uart("ttyS3"), Uart("ttyS7")};
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(Names(), (Strings{"ttyS3", "ttyS7", "ttyS12"}));
    EXPECT_EQ(list[0].number, 3);
    EXPECT_EQ(list[2].number, 12);

    source.devices = {Usb("ttyUSB0", 0x6001, "FTDI", "FT232R"), Uart("ttyS10"),
                      Driven("ttyACM1", "cdc_acm"), Uart("ttyS2")};
    EXPECT_EQ(Run(), 4);
    EXPECT_EQ(Names(), (Strings{"ttyACM1", "ttyS2", "ttyS10", "ttyUSB0"}));
}

TEST_F(CommPortEnumTest, AFullListKeepsTheFirstFoundThenSorts) {
    source.devices = {Uart("ttyS9"), Uart("ttyS3"), Uart("ttyS1")};
    EXPECT_EQ(Run(false, 2), 2);
    EXPECT_EQ(Names(), (Strings{"ttyS3", "ttyS9"}));
}

TEST_F(CommPortEnumTest, ConsolesEmptySlotsAndNamelessEntriesAreSkipped) {
    source.devices = {
        Dev("tty1", false),  // a virtual console: no device
        Dev("console"),      // no number, not a port
        Dev(""),             // nameless
        Uart("ttyS1", 0),    // a UART slot with no chip
        Uart("ttyS0"),
        Uart("ttyVeryLongDeviceName100"),  // 24 characters: would not fit
        Usb("ttyUSB0", 0x6001, "FTDI", "FT232R"),
    };
    EXPECT_EQ(Run(), 2);
    EXPECT_EQ(Names(), (Strings{"ttyS0", "ttyUSB0"}));
    EXPECT_NE(korrtest::ReadFile(logPath).find("CommPortEnum skipped \"ttyS1\" (no UART)"),
              std::string::npos);
}

struct DescriptionCase {
    const char* what;
    PortDevice device;
    const char* description;
};

TEST_F(CommPortEnumTest, DescriptionsNameWhatAPersonRecognises) {
    const DescriptionCase cases[] = {
        {"bracketed port cut off", Named("ttyUSB0", "USB Serial Port (ttyUSB0)"),
         "ttyUSB0 USB Serial Port"},
        {"nothing left after the cut", Named("ttyUSB0", "(ttyUSB0)"),
         "ttyUSB0 Communications Port"},
        {"another port's bracket stays", Named("ttyUSB1", "Hub (ttyUSB10)"),
         "ttyUSB1 Hub (ttyUSB10)"},
        {"USB maker and product", Usb("ttyUSB0", 0x6001, "FTDI", "FT232R USB UART"),
         "ttyUSB0 FTDI FT232R USB UART"},
        {"product already names the maker",
         Usb("ttyUSB0", 0xea60, "Silicon Labs", "Silicon Labs CP2102"),
         "ttyUSB0 Silicon Labs CP2102"},
        {"product alone", Usb("ttyUSB0", 0x6001, "", "FT232R"), "ttyUSB0 FT232R"},
        {"hardware database names", InDatabase("ttyS4", "Oxford Semiconductor", "OX16PCI954"),
         "ttyS4 Oxford Semiconductor OX16PCI954"},
        {"the driver when nothing else", Driven("ttyACM0", "cdc_acm"), "ttyACM0 cdc_acm"},
        {"a PC's own UART", Uart("ttyS0"), "ttyS0 Communications Port"},
        {"cut to 63 characters",
         Usb("ttyUSB0", 0x6001, "",
             "An Extremely Verbose Product String That Goes On And On And On"),
         "ttyUSB0 An Extremely Verbose Product String That Goes On And On"},
        {"UCA adapter with a bracketed part",
         Usb("ttyUSB3", 0x8414, "Korrin", "Korrin USB", "KORRIN_UCA[0042]"),
         "ttyUSB3 Korrin UCA [0042]"},
        {"UCA adapter known by its product string",
         Usb("ttyUSB3", 0x8414, "Korrin", "KORRIN_UCA", "A900X1"), "ttyUSB3 Korrin UCA"},
        {"UCA mark under another product id",
         Usb("ttyUSB3", 0x8415, "Korrin", "Korrin USB", "KORRIN_UCA[0042]"), "ttyUSB3 Korrin USB"},
        {"radio modem, MaxStream", Usb("ttyUSB1", 0x6001, "MaxStream", "MaxStream PKG-U"),
         "ttyUSB1 Korrin USB Tm8"},
        {"radio modem, Digi", Usb("ttyUSB1", 0x6001, "Digi", "PKG-U"), "ttyUSB1 Korrin USB Tm8"},
    };
    for (const DescriptionCase& c : cases) {
        source.devices = {c.device};
        EXPECT_EQ(Run(), 1) << c.what;
        EXPECT_STREQ(list[0].description, c.description) << c.what;
    }
}

TEST_F(CommPortEnumTest, OnlyAPortHeldByAnotherProgramIsMarkedBusy) {
    source.devices = {Uart("ttyS0"), Uart("ttyS1"), Uart("ttyS2"),
                      Usb("ttyUSB0", 0x6001, "MaxStream", "MaxStream PKG-U"),
                      Usb("ttyUSB1", 0x6001, "",
                          "An Extremely Verbose Product String That Goes On And On And On")};
    source.answers = {{"ttyS0", -EBUSY},
                      {"ttyS1", -EWOULDBLOCK},
                      {"ttyS2", -EACCES},
                      {"ttyUSB0", -EBUSY},
                      {"ttyUSB1", -EWOULDBLOCK}};
    EXPECT_EQ(Run(), 5);
    EXPECT_EQ(Names(), (Strings{"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(Descriptions(), (Strings{
                                  "ttyS0 Communications Port (busy)",
                                  "ttyS1 Communications Port (busy)",
                                  "ttyS2 Communications Port",  // not ours to open, not held
                                  "ttyUSB0 Korrin USB Tm8 (busy)",
                                  "ttyUSB1 An Extremely Verbose Product String That Goes On (busy)",
                              }));
    EXPECT_EQ(std::strlen(list[4].description), 63u);
}

TEST_F(CommPortEnumTest, FindAllAddsExistingNodesAfterTheListedOnes) {
    source.devices = {Uart("ttyS2"), Uart("ttyS1")};
    source.probeNames = {"ttyS0", "ttyS1", "ttyS2",   "ttyS3",
                         "ttyS4", "ttyS5", "ttyUSB0", "ttyACM0"};
    source.answers = {{"ttyS0", -EIO}, {"ttyS3", -ENOENT},   {"ttyS4", -EBUSY},
                      {"ttyS5", 0},    {"ttyUSB0", -EACCES}, {"ttyACM0", -ENODEV}};
    EXPECT_EQ(Run(true), 1) << "a port added by trying makes the result 1";
    EXPECT_EQ(Names(), (Strings{"ttyS1", "ttyS2", "ttyS4", "ttyS5", "ttyUSB0"}));
    EXPECT_EQ(Descriptions(), (Strings{
                                  "ttyS1 Communications Port",
                                  "ttyS2 Communications Port",
                                  "ttyS4 Communications Port (busy)",
                                  "ttyS5 Communications Port",
                                  "ttyUSB0 Communications Port",
                              }));
    EXPECT_EQ(list[3].number, 5);
    // Listed ports are probed once, for their busy mark.
    EXPECT_EQ(source.probed, (Strings{"ttyS1", "ttyS2", "ttyS0", "ttyS3", "ttyS4", "ttyS5",
                                      "ttyUSB0", "ttyACM0"}));
}

TEST_F(CommPortEnumTest, FindAllStopsWhenTheListIsFull) {
    source.devices = {Uart("ttyS1")};
    source.probeNames = {"ttyS4", "ttyS5", "ttyS6"};
    source.answers = {{"ttyS4", 0}, {"ttyS5", 0}, {"ttyS6", 0}};
    EXPECT_EQ(Run(true, 3), 1);
    EXPECT_EQ(Names(), (Strings{"ttyS1", "ttyS4", "ttyS5"}));
    EXPECT_EQ(source.probed.back(), "ttyS5");
}

TEST_F(CommPortEnumTest, WithoutFindAllNoFurtherNodeIsTried) {
    source.devices = {Uart("ttyS1")};
    source.probeNames = {"ttyS4"};
    source.answers = {{"ttyS4", 0}};
    EXPECT_EQ(Run(false), 1);
    EXPECT_EQ(Names(), (Strings{"ttyS1"}));
    EXPECT_EQ(source.probed, (Strings{"ttyS1"}));
}

TEST_F(CommPortEnumTest, WithoutDeviceEnumerationEveryNodeIsTried) {
    source.canEnumerate = false;
    source.devices = {Uart("ttyS1")};  // never seen
    EXPECT_EQ(Run(false), 1);
    EXPECT_EQ(count, 0);

    source.probeNames = {"ttyS0", "ttyS1"};
    source.answers = {{"ttyS1", 0}};
    EXPECT_EQ(Run(false), 1);
    EXPECT_EQ(Names(), (Strings{"ttyS1"}));
}

TEST_F(CommPortEnumTest, ArgumentsAndAnEmptySystem) {
    source.devices = {Uart("ttyS1")};
    count = 0;
    EXPECT_EQ(CommPortEnum(enumerator, list, &count, false, source), -11);
    count = -3;
    EXPECT_EQ(CommPortEnum(enumerator, list, &count, false, source), -11);
    count = 4;
    EXPECT_EQ(CommPortEnum(enumerator, nullptr, &count, false, source), -10);
    EXPECT_EQ(CommPortEnum(enumerator, list, nullptr, false, source), -10);
    EXPECT_TRUE(source.probed.empty());
    EXPECT_NE(korrtest::ReadFile(logPath).find("CommPortEnum failed with error -11"),
              std::string::npos);

    source.devices.clear();
    EXPECT_EQ(Run(true), 0) << "no ports is still success";
    EXPECT_EQ(count, 0);

    KorrSerial silent;  // an enumerator without a log works the same
    source.devices = {Uart("ttyS1")};
    count = 1;
    EXPECT_EQ(CommPortEnum(silent, list, &count, false, source), 1);
}

}  // namespace
