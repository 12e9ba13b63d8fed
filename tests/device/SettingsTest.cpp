// The setting commands one by one against a scripted device, in virtual time: what each sends,
// how it reads the reply, and what it does without the capability.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/ScriptedLink.h"

using namespace korr;

namespace {

// Runs a read and shows the field afterwards as text.
using ReadRun = std::function<int32_t(MORVA_Protocol&, std::string*)>;

template <size_t N>
ReadRun Text(int32_t (*command)(MORVA_Protocol&, char*, int)) {
    return [command](MORVA_Protocol& link, std::string* shown) {
        char field[N];
        std::memset(field, 'x', sizeof field);  // a read must terminate what it stores
        field[N - 1] = '\0';
        int32_t r = command(link, field, kSettingRead);
        *shown = field;
        return r;
    };
}

ReadRun Number(int32_t (*command)(MORVA_Protocol&, int32_t*, int)) {
    return [command](MORVA_Protocol& link, std::string* shown) {
        int32_t value = 7777;
        int32_t r = command(link, &value, kSettingRead);
        *shown = std::to_string(value);
        return r;
    };
}

ReadRun Unsigned(int32_t (*command)(MORVA_Protocol&, uint32_t*, int)) {
    return [command](MORVA_Protocol& link, std::string* shown) {
        uint32_t value = 7777;
        int32_t r = command(link, &value, kSettingRead);
        *shown = std::to_string(value);
        return r;
    };
}

std::string Join(const uint8_t* v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + std::to_string(v[i]);
    return s;
}

ReadRun List(int32_t (*command)(MORVA_Protocol&, uint8_t*, int)) {
    return [command](MORVA_Protocol& link, std::string* shown) {
        uint8_t values[5] = {9, 9, 9, 9, 9};
        int32_t r = command(link, values, kSettingRead);
        *shown = Join(values, 5);
        return r;
    };
}

ReadRun Coordinate(int32_t (*command)(MORVA_Protocol&, double*, int)) {
    return [command](MORVA_Protocol& link, std::string* shown) {
        double value = 99;
        int32_t r = command(link, &value, kSettingRead);
        char text[40];
        FormatText(text, sizeof text, "%+.5f", value);
        *shown = text;
        return r;
    };
}

ReadRun ADC(int set) {
    return [set](MORVA_Protocol& link, std::string* shown) {
        uint8_t a[5] = {9, 9, 9, 9, 9}, b[5] = {9, 9, 9, 9, 9};
        int32_t r = ADCcalCommand(link, set, a, b, kSettingRead);
        *shown = Join(a, 5) + " / " + Join(b, 5);
        return r;
    };
}

ReadRun Trait() {
    return Number(TraitCommand);
}

struct ReadCase {
    const char* name;
    ReadRun run;
    const char* command;
    const char* reply;
    int32_t expected;
    const char* value;  // the field afterwards; null: not checked
    uint32_t withoutCapabilities = 0;
    uint8_t oldCommandSet = 0;
};

const ReadCase kReads[] = {
    {"Name", Text<9>(NameCommand), "get -i\r", "\rLOG1\r>", 1, "LOG1"},
    {"NameBarePrompt", Text<9>(NameCommand), "get -i\r", "\r\r>", -36, nullptr},
    {"NameOnlyPrompt", Text<9>(NameCommand), "get -i\r", "\r>", -30, nullptr},
    {"NameLongCut", Text<9>(NameCommand), "get -i\r", "\rABCDEFGHIJ\r>", 1, "ABCDEFGH"},
    {"DeviceIDAfterSpace", Text<9>(DeviceIDCommand), "get -devid\r", "\r  DEV-7\r>", 1, "DEV-7"},
    {"DeviceIDOnlyPrompt", Text<9>(DeviceIDCommand), "get -devid\r", "\r  \r>", -31, nullptr},
    {"DeviceIDEmpty", Text<9>(DeviceIDCommand), "get -devid\r", "\r  ", -30, nullptr},
    {"SiteCut", Text<26>(SiteCommand), "get -site\r", "\rNorth field, row 12, plot 7\r>", 1,
     "North field, row 12, plot"},
    {"SiteBarePrompt", Text<26>(SiteCommand), "get -site\r", "\r\r>", -31, nullptr},
    {"SerialNumberAfterReturn", Text<16>(SNCommand), "get -sn\r", " \rSN 0042\r>", 1, "SN 0042"},
    {"BuildAfterReturn", Text<17>(KorrBuildCommand), "get -build\r", "\rB2024-11-03a\r>", 1,
     "B2024-11-03a"},
    {"HostLong", Text<64>(HostCommand), "get -host\r", "\rdata.korrin-devices.example\r>", 1,
     "data.korrin-devices.example"},
    {"APNRejected", Text<36>(APNCommand), "get -apn\r", "ERROR\r>", -34, nullptr},
    {"Report", Number(ReportCommand), "get -report\r", "\r 3\r>", 1, "3"},
    {"ReportUnreadable", Number(ReportCommand), "get -report\r", "\rabc\r>", -30, "7777"},
    {"TimeZoneNegative", Number(TimeZoneCommand), "get -tz\r", "\r-20\r>", 1, "-20"},
    {"Interval", Unsigned(WakeCommand), "get -w\r", "\r600\r>", 1, "600"},
    {"IntervalNegative", Unsigned(WakeCommand), "get -w\r", "\r-5\r>", -11, "7777"},
    {"DataParameter", Number(DataParameterCommand), "get -data\r", "\r12\r>", 1, "12"},
    {"IPPortUnreadable", Number(IPPortCommand), "get -ipport\r", "\rnone\r>", -31, "7777"},
    {"RadioMode", Unsigned(RmodeCommand), "get -r\r", "\r2\r>", 1, "2"},
    {"PADC", Number(PADCCommand), "get -padc\r", "\r50\r>", 1, "50"},
    {"PADCOldFirmware", Number(PADCCommand), "hertz\r", "\r60\r>", 1, "60", 0, 1},
    {"Depths", List(DepthCommand), "get -depth\r", "\r10 20 300 40 50\r>", 1, "10 20 255 40 50"},
    {"DepthsShort", List(DepthCommand), "get -depth\r", "\r10 20 30\r>", -30, "9 9 9 9 9"},
    {"Ports", List(PortsCommand), "get -ports\r", "\r1 0 2 0 3\r>", 1, "1 0 2 0 3"},
    {"Latitude", Coordinate(LatitudeCommand), "get -lat\r", "\r -12.345678\r>", 1, "-12.34568"},
    {"LongitudeUnreadable", Coordinate(LongitudeCommand), "get -long\r", "\r\r>", -31, "+99.00000"},
    {"TraitStoredAsComplement", Trait(), "get -trait\r", "\r247\r>", 1,
     "16392"},  // 255 - 247 = 8: a modem
    {"TraitOutOfRange", Trait(), "get -trait\r", "\r300\r>", -30, "7777"},
    {"ADCLong", ADC(kADCSet30), "get -adc30\r", "\r1 2 3 4 5 6 7 8 9 10 55\r>", 1,
     "1 3 5 7 9 / 2 4 6 8 10"},
    {"ADCLongBadChecksum", ADC(kADCSet30), "get -adc30\r", "\r1 2 3 4 5 6 7 8 9 10 56\r>", -1,
     "1 3 5 7 9 / 2 4 6 8 10"},
    {"ADCFactorZeroOrTooLarge", ADC(kADCSet15), "get -adc15\r", "\r0 2 3 4 5 6 7 8 9 300 52\r>", -1,
     "0 3 5 7 9 / 2 4 6 8 255"},
    {"ADCCountWrong", ADC(kADCSet30), "get -adc30\r", "\r1 2 3\r>", -30, "9 9 9 9 9 / 9 9 9 9 9"},
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsRead : public korrtest::ScriptedLink,
                     public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SettingsRead, ParsesTheReply) {
    const ReadCase& c = GetParam();
    link.settings.capabilities &= ~c.withoutCapabilities;
    if (c.oldCommandSet) {
        link.settings.newCommandSet = 0;
        link.settings.deviceClass = kClassTr3;
    }
    device.On(c.command, c.reply);
    std::string shown;
    EXPECT_EQ(c.run(link, &shown), c.expected);
    if (c.value != nullptr) {
        EXPECT_EQ(shown, c.value);
    }
    EXPECT_TRUE(Sent(c.command));
}

INSTANTIATE_TEST_SUITE_P(Family, SettingsRead, ::testing::ValuesIn(kReads),
                         [](const auto& param) { return std::string(param.param.name); });

// A write: the command it must send (empty: nothing), the device's answer, the result.
struct WriteCase {
    const char* name;
    std::function<int32_t(MORVA_Protocol&)> run;
    const char* command;
    const char* reply;
    int32_t expected;
    uint8_t oldCommandSet = 0;
};

template <size_t N>
std::function<int32_t(MORVA_Protocol&)> WriteText(int32_t (*command)(MORVA_Protocol&, char*, int),
                                                  const char* value) {
    return [command, value](MORVA_Protocol& link) {
        char field[N];
        CopyText(field, value);
        return command(link, field, kSettingWrite);
    };
}

const char kHexKey[] = "00112233445566778899aabbccddeeff";

const WriteCase kWrites[] = {
    {"Name", WriteText<9>(NameCommand, "LOG1"), "set -i LOG1\r", "OK\r>", 1},
    {"NameOldPrompt", WriteText<9>(NameCommand, "LOG1"), "set -i LOG1\r", "\r>", 1, 1},
    {"NameUnconfirmed", WriteText<9>(NameCommand, "LOG1"), "set -i LOG1\r", "what>", -30},
    {"NameCommandWord", WriteText<9>(NameCommand, "ping"), "", "", -52},
    {"NameWithSlash", WriteText<9>(NameCommand, "a/b"), "", "", -51},
    {"NameRejected", WriteText<9>(NameCommand, "LOG1"), "set -i LOG1\r", "ERROR\r>", -34},
    {"DeviceIDRejectedIsBadValue", WriteText<9>(DeviceIDCommand, "D1"), "set -devid D1\r",
     "ERROR\r>", -12},
    {"BuildRejectedStays", WriteText<17>(KorrBuildCommand, "B1"), "set -build B1\r",
     "Unsupported\r>", -34},
    {"SerialNumberOldFirmware", WriteText<16>(SNCommand, "SN1"), "", "", -1, 1},
    {"AuthKey", WriteText<33>(AuthKeyCommand, kHexKey),
     "set -authkey 00112233445566778899aabbccddeeff\r", "OK\r>", 1},
    {"AuthKeyNotHex", WriteText<33>(AuthKeyCommand, "00112233445566778899aabbccddeefg"), "", "",
     -11},
    {"AuthKeyShort", WriteText<33>(AuthKeyCommand, "0011"), "", "", -11},
    {"LatitudeZero",
     [](MORVA_Protocol& l) {
         double v = 0;
         return LatitudeCommand(l, &v, kSettingWrite);
     },
     "set -lat \r", "OK\r>", 1},
    {"Longitude",
     [](MORVA_Protocol& l) {
         double v = -105.25;
         return LongitudeCommand(l, &v, kSettingWrite);
     },
     "set -long -105.25000\r", "OK\r>", 1},
    {"IntervalNegative",
     [](MORVA_Protocol& l) {
         uint32_t v = static_cast<uint32_t>(-60);
         return WakeCommand(l, &v, kSettingWrite);
     },
     "", "", -11},
    {"IntervalOldPrompt",
     [](MORVA_Protocol& l) {
         uint32_t v = 60;
         return WakeCommand(l, &v, kSettingWrite);
     },
     "set -w 60\r", "\r>", 1, 1},
    {"PADCOldFirmware",
     [](MORVA_Protocol& l) {
         int32_t v = 50;
         return PADCCommand(l, &v, kSettingWrite);
     },
     "set -p 50\r", "\r>", 1, 1},
    {"PADCNewNeedsOK",
     [](MORVA_Protocol& l) {
         int32_t v = 50;
         return PADCCommand(l, &v, kSettingWrite);
     },
     "set -padc 50\r", "\r>", -30},
    {"Depths",
     [](MORVA_Protocol& l) {
         uint8_t v[5] = {5, 10, 15, 20, 255};
         return DepthCommand(l, v, kSettingWrite);
     },
     "set -depth 5 10 15 20 255\r", "OK\r>", 1},
    {"TraitComplement",
     [](MORVA_Protocol& l) {
         int32_t v = kTraitValid | kTraitModem;
         return TraitCommand(l, &v, kSettingWrite);
     },
     "set -trait 247\r", "OK\r>", 1},
    {"TraitNotValid",
     [](MORVA_Protocol& l) {
         int32_t v = kTraitModem;
         return TraitCommand(l, &v, kSettingWrite);
     },
     "", "", -11},
    {"ADCLong",
     [](MORVA_Protocol& l) {
         uint8_t a[5] = {100, 101, 102, 103, 104}, b[5] = {200, 201, 202, 203, 204};
         return ADCcalCommand(l, kADCSet15, a, b, kSettingWrite);
     },
     // 510 + 1010 = 1520, 1520 mod 256 = 240
     "set -adc15 100 200 101 201 102 202 103 203 104 204 240\r", "OK\r>", 1},
    {"ADCUnknownSet",
     [](MORVA_Protocol& l) {
         uint8_t a[5] = {}, b[5] = {};
         return ADCcalCommand(l, 3, a, b, kSettingWrite);
     },
     "", "", -11},
    {"RadioModeConfirmedByPrompt",
     [](MORVA_Protocol& l) {
         uint32_t v = 2;
         return RmodeCommand(l, &v, kSettingWrite);
     },
     "set -r 2\r", "\r>", 1},
    {"IPPort",
     [](MORVA_Protocol& l) {
         int32_t v = 8080;
         return IPPortCommand(l, &v, kSettingWrite);
     },
     "set -ipport 8080\r", "OK\r>", 1},
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsWrite : public korrtest::ScriptedLink,
                      public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SettingsWrite, SendsTheCommand) {
    const WriteCase& c = GetParam();
    if (c.oldCommandSet) {
        link.settings.newCommandSet = 0;
        link.settings.deviceClass = kClassTr3;
    }
    if (c.command[0] != '\0') device.On(c.command, c.reply);
    EXPECT_EQ(c.run(link), c.expected);
    if (c.command[0] != '\0') {
        ASSERT_FALSE(device.commands.empty());
        for (const std::string& sent : device.commands) EXPECT_EQ(sent, c.command);
    } else {
        EXPECT_TRUE(device.commands.empty()) << "sent " << device.commands.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Family, SettingsWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& param) { return std::string(param.param.name); });

using SettingsTest = korrtest::ScriptedLink;

TEST_F(SettingsTest, WithoutTheCapabilityNothingIsSent) {
    link.settings.capabilities = 0;
    link.settings.trait = kTraitValid | kTraitRadio;  // no modem
    char text[64] = "x";
    int32_t number = 1;
    uint32_t unsignedNumber = 1;
    double degrees = 1;
    uint8_t a[5] = {1, 1, 1, 1, 1}, b[5] = {1, 1, 1, 1, 1};
    uint8_t ports[5] = {1, 2, 3, 4, 5};
    uint32_t mask = kRadioBits;
    for (int mode : {kSettingRead, kSettingWrite}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(DeviceIDCommand(link, text, mode), -1);
        EXPECT_EQ(SiteCommand(link, text, mode), -1);
        EXPECT_EQ(KorrBuildCommand(link, text, mode), -1);
        EXPECT_EQ(APNCommand(link, text, mode), -1);
        EXPECT_EQ(APNUserCommand(link, text, mode), -1);
        EXPECT_EQ(APNPasswdCommand(link, text, mode), -1);
        EXPECT_EQ(HostCommand(link, text, mode), -1);
        EXPECT_EQ(ReportCommand(link, &number, mode), -1);
        EXPECT_EQ(TimeZoneCommand(link, &number, mode), -1);
        EXPECT_EQ(DataParameterCommand(link, &number, mode), -1);
        EXPECT_EQ(IPPortCommand(link, &number, mode), -1);
        EXPECT_EQ(PADCCommand(link, &number, mode), -1);
        EXPECT_EQ(WakeCommand(link, &unsignedNumber, mode), -1);
        EXPECT_EQ(RmodeCommand(link, &unsignedNumber, mode), -1);
        EXPECT_EQ(LatitudeCommand(link, &degrees, mode), -1);
        EXPECT_EQ(LongitudeCommand(link, &degrees, mode), -1);
        EXPECT_EQ(DepthCommand(link, ports, mode), -1);
        EXPECT_EQ(ADCcalCommand(link, kADCSet30, a, b, mode), -1);
        EXPECT_EQ(MSRadioCommand(link, &number, &number, text, mode, &mask), -1);
        EXPECT_EQ(mask, 0u);
    }
    EXPECT_EQ(DepthCommand(link, ports, kSettingRead), -1);
    EXPECT_EQ(Join(ports, 5), "1 2 3 4 5") << "depths stay as they were";
    EXPECT_EQ(PortsCommand(link, ports, kSettingRead), -1);
    EXPECT_EQ(Join(ports, 5), "0 0 0 0 0") << "the ports are cleared";
    EXPECT_TRUE(device.commands.empty());
    EXPECT_TRUE(Logged("sim0: DeviceIDCommand failed with error -1 (0 ms)"));
}

TEST_F(SettingsTest, FailedSiteAndPositionGiveUpTheirValidBits) {
    link.settings.validMask = kSetSite | kSetLatitude | kSetLongitude | kSetName;
    device.otherwise = "ERROR\r>";
    char site[26] = "Field";
    double degrees = 1;
    EXPECT_EQ(SiteCommand(link, site, kSettingRead), -34);
    EXPECT_EQ(LatitudeCommand(link, &degrees, kSettingWrite), -34);
    EXPECT_EQ(link.settings.validMask, kSetLongitude | kSetName);
    EXPECT_EQ(LongitudeCommand(link, &degrees, kSettingRead), -34);
    EXPECT_EQ(link.settings.validMask, kSetName);
}

TEST_F(SettingsTest, HostTimeZoneIsWrittenForMinusTwo) {
    bench.Clock().SetUtcOffset(3600);
    device.On("set -tz 4\r", "OK\r>");
    int32_t zone = -2;
    EXPECT_EQ(TimeZoneCommand(link, &zone, kSettingWrite), 1);
    EXPECT_EQ(zone, 4);
    EXPECT_TRUE(Sent("set -tz 4\r"));
    EXPECT_TRUE(Logged("TimeZoneCommand set time zone to 4"));
    EXPECT_EQ(TimeZoneCommand(link, nullptr, kSettingWrite), -10);
}

TEST_F(SettingsTest, RB2IsAlwaysRadioMode16WithoutAnExchange) {
    link.settings.deviceClass = kClassRB2;
    uint32_t mode = 3;
    EXPECT_EQ(RmodeCommand(link, &mode, kSettingRead), 1);
    EXPECT_EQ(mode, 16u);
    mode = 3;
    EXPECT_EQ(RmodeCommand(link, &mode, kSettingWrite), 1);
    EXPECT_EQ(mode, 3u);
    EXPECT_TRUE(device.commands.empty());
    EXPECT_TRUE(Logged("RmodeCommand found an rB2 that is always mode 16"));
}

TEST_F(SettingsTest, PADCOfOldFirmwareBeforeVersion165IsMissing) {
    link.settings.newCommandSet = 0;
    link.settings.deviceClass = kClassTr3;
    link.settings.version = 160;
    int32_t hertz = 50;
    EXPECT_EQ(PADCCommand(link, &hertz, kSettingRead), -1);
    EXPECT_EQ(hertz, -1);
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(SettingsTest, ShortFormADC) {
    link.settings.capabilities |= 1u << 20;
    device.On("get -adc30\r", "\r120 130 250\r>");
    uint8_t a[5] = {9, 9, 9, 9, 9}, b[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(ADCcalCommand(link, kADCSet30, a, b, kSettingRead), 1);
    EXPECT_EQ(Join(a, 5) + " / " + Join(b, 5), "120 0 0 0 0 / 130 0 0 0 0");
    EXPECT_TRUE(Logged("ADCcalCommand found (valid) -adc30 120 130 0 0 0 0 0 0 0 0 250"));

    device.On("get -adc30\r", "\r1 2 3 4 5 6 7 8 9 10 55\r>");
    EXPECT_EQ(ADCcalCommand(link, kADCSet30, a, b, kSettingRead), -30) << "needs exactly three";
    EXPECT_TRUE(Logged("ADCcalCommand only found 11 of 11 cal -adc30 factors"));

    device.On("set -adc30 120 130 250\r", "OK\r>");
    a[0] = 120;
    b[0] = 130;
    EXPECT_EQ(ADCcalCommand(link, kADCSet30, a, b, kSettingWrite), 1);
    EXPECT_TRUE(Sent("set -adc30 120 130 250\r"));
}

TEST_F(SettingsTest, AuthKeyFallsBackToTeakey) {
    device.On("get -authkey\r", "Unsupported\r>");
    device.On("get -teakey\r", std::string("\r") + kHexKey + "\r>");
    char key[33] = {};
    EXPECT_EQ(AuthKeyCommand(link, key, kSettingRead), 1);
    EXPECT_STREQ(key, kHexKey);
    EXPECT_EQ(device.Count("get -authkey\r"), link.tries) << "retried as every rejected command";
    EXPECT_TRUE(Logged("AuthKeyCommand found authkey (as teakey) \"********\""));
}

// The log goes to support: network passwords and keys appear only masked.
TEST_F(SettingsTest, SecretsAreMaskedInTheLog) {
    const std::string password = "s3cr3t-pw";
    device.On("get -passwd\r", "\r" + password + "\r>");
    device.On("set -passwd " + password + "\r", "OK\r>");
    device.On("get -authkey\r", std::string("\r") + kHexKey + "\r>");
    device.On(std::string("set -authkey ") + kHexKey + "\r", "OK\r>");
    device.On("get -apn\r", "\rinternet.example\r>");
    char field[36] = {};
    ASSERT_EQ(APNPasswdCommand(link, field, kSettingRead), 1);
    EXPECT_EQ(field, password);
    ASSERT_EQ(APNPasswdCommand(link, field, kSettingWrite), 1);
    char key[33] = {};
    ASSERT_EQ(AuthKeyCommand(link, key, kSettingRead), 1);
    EXPECT_STREQ(key, kHexKey);
    ASSERT_EQ(AuthKeyCommand(link, key, kSettingWrite), 1);
    ASSERT_EQ(APNCommand(link, field, kSettingRead), 1);

    const std::string text = Log();
    EXPECT_EQ(text.find(password), std::string::npos);
    EXPECT_EQ(text.find(kHexKey), std::string::npos);
    EXPECT_TRUE(Logged("APNPasswdCommand found APN password \"********\""));
    EXPECT_TRUE(Logged("APNPasswdCommand set APN password to \"********\""));
    EXPECT_TRUE(Logged("AuthKeyCommand found authkey \"********\""));
    EXPECT_TRUE(Logged("AuthKeyCommand set authkey to \"********\""));
    EXPECT_TRUE(Logged("APNCommand found APN \"internet.example\"")) << "other values are shown";
}

// A reply longer than the command expects makes the exchange log its command: masked too.
TEST_F(SettingsTest, SecretStaysMaskedWhenTheExchangeLogsItsCommand) {
    const std::string password = "s3cr3t-pw";
    device.On("set -passwd " + password + "\r", "OK" + std::string(100, '.') + "\r>");
    char field[36] = {};
    korr::CopyText(field, password.c_str());
    ASSERT_EQ(APNPasswdCommand(link, field, kSettingWrite), 1);
    EXPECT_TRUE(Logged("more bytes than expected (set -passwd ********\r)")) << Log();
    EXPECT_EQ(Log().find(password), std::string::npos);
}

TEST_F(SettingsTest, NetworkSettingsNeedAModem) {
    link.settings.trait = kTraitValid | kTraitRadio;
    char field[36] = {};
    EXPECT_EQ(APNCommand(link, field, kSettingRead), -1);
    link.settings.trait = kTraitModem;  // not read yet
    EXPECT_EQ(TraitHasModem(link.settings.trait), -1);
    EXPECT_EQ(APNCommand(link, field, kSettingRead), -1);
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(SettingsTest, TraitWithoutReadCapability) {
    // A FieldHub has a radio and is never asked.
    link.settings.deviceClass = kClassFieldHub;
    int32_t trait = 0;
    EXPECT_EQ(TraitCommand(link, &trait, kSettingRead), 1);
    EXPECT_EQ(trait, 16385);
    EXPECT_TRUE(device.commands.empty());

    // No radio commands: no radio.
    link.settings.deviceClass = kClassTr3b;
    link.settings.capabilities = 0;
    EXPECT_EQ(TraitCommand(link, &trait, kSettingRead), 1);
    EXPECT_EQ(trait, kTraitValid);

    // Otherwise the radio module is asked for its version.
    link.settings.capabilities = 1u << 8;
    device.On("get -rver\r", "OK\r1A2B\r>");
    EXPECT_EQ(TraitCommand(link, &trait, kSettingRead), 1);
    EXPECT_EQ(trait, 16385);
    EXPECT_TRUE(Logged("TraitCommand (emulated): found 16385"));

    device.On("get -rver\r", "No Radio\r>");
    EXPECT_EQ(TraitCommand(link, &trait, kSettingRead), 0) << "neither success nor error";
    EXPECT_EQ(trait, kTraitValid);

    // Writing needs the trait-writing capability.
    trait = kTraitValid;
    EXPECT_EQ(TraitCommand(link, &trait, kSettingWrite), -12);
}

TEST_F(SettingsTest, TraitHelpers) {
    EXPECT_EQ(TraitHasRadio(kTraitRadio), -1);
    EXPECT_EQ(TraitHasRadio(kTraitValid | kTraitRadio), 1);
    EXPECT_EQ(TraitHasRadio(kTraitValid | kTraitModem), 0);
    EXPECT_EQ(TraitHasModem(kTraitValid | kTraitModem), 1);
    EXPECT_EQ(TraitHasModem(kTraitValid), 0);
}

TEST_F(SettingsTest, NullFieldsAreMissingArguments) {
    EXPECT_EQ(NameCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(SiteCommand(link, nullptr, kSettingWrite), -10);
    EXPECT_EQ(ReportCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(WakeCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(DepthCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(LatitudeCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(ADCcalCommand(link, kADCSet30, nullptr, nullptr, kSettingRead), -10);
    EXPECT_EQ(TraitCommand(link, nullptr, kSettingRead), -10);
    EXPECT_EQ(MSRadioCommand(link, nullptr, nullptr, nullptr, kSettingRead, nullptr), -10);
    EXPECT_EQ(Tm8Config(link, nullptr, nullptr, nullptr, kSettingRead, nullptr), -10);
    EXPECT_TRUE(device.commands.empty());
}

}  // namespace
