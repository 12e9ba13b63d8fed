// Identifying the connected device: the version reply, the old firmware's "show" report, the
// capability masks, and the updater's device types.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/DeviceIdentification.h"
#include "device/DeviceTypes.h"
#include "device/LinkFixture.h"
#include "models/Logger.h"
#include "models/Qs7Firmware.h"
#include "support/LambdaDevice.h"

using namespace korr;
using korrsim::kUsPerMs;
using korrtest::AnswerEachLine;
using korrtest::LambdaDevice;

namespace {

class IdentificationTest : public korrtest::LinkFixture {
  protected:
    korrsim::Logger& Logger(const char* versionReply) {
        return Attach<korrsim::Logger>(korrsim::kTr30Keys, versionReply);
    }
    // A device that answers every line with the same text; counts the lines.
    LambdaDevice& Answering(const std::string& answer) {
        return Attach<LambdaDevice>(AnswerEachLine(answer));
    }
    size_t LinesHeard(const LambdaDevice& d) const {
        return static_cast<size_t>(std::count(d.received.begin(), d.received.end(), '\r'));
    }
};

TEST_F(IdentificationTest, VersionReplySetsClassVersionAndCapabilities) {
    struct Case {
        const char* reply;
        uint8_t deviceClass;
        const char* className;
        int32_t version;
        uint32_t mask;
    };
    const Case cases[] = {
        {"TR30 1.14", kClassTr30, "Tr30", 114, 0x7FFF7},
        {"tr30 1.14", kClassTr30, "Tr30", 114, 0x7FFF7},
        {"TR30 1.1", kClassTr30, "Tr30", 110, 0x7737 | 0x80 | 0x40},
        {"TR30 2.02", kClassTr30, "Tr30", 202, 0x5E7FFF7},
        {"TR30 1.04", kClassTr30, "Tr30", 104, 0x7737},
        {"QS7 3.60", kClassUnknown, "Unknown", 360, 0x1005},
        {"MCD 1.20", kClassCommDevice, "MORVA Comm Dev", 120, 0x3007},
        {"KS 1.09", kClassFieldHub, "FieldHub", 109, 0x4503 | 0x80 | 0x20000},
        {"TR3B 2.04", kClassTr3b, "Tr3b", 204, 0x74BE | 0x40000},
        {"morva_cal 1.00", kClassCalibrator, "MORVA Calibrator", 100, 0x10026},
        {"RB2 1.00", kClassRB2, "rB2", 100, 0x5E3FFF7},
    };
    for (const Case& c : cases) {
        korrsim::Logger& device = Logger(c.reply);
        OpenSerial();
        EXPECT_EQ(VerCommand(link, true), 1) << c.reply;
        EXPECT_EQ(link.settings.deviceClass, c.deviceClass) << c.reply;
        EXPECT_STREQ(link.settings.className, c.className) << c.reply;
        EXPECT_STREQ(link.settings.versionText, c.reply);
        EXPECT_EQ(link.settings.version, c.version) << c.reply;
        EXPECT_EQ(link.settings.newCommandSet, 1) << c.reply;
        EXPECT_EQ(link.settings.capabilities, c.mask) << c.reply << std::hex << " 0x" << c.mask;
        EXPECT_EQ(device.Lines().size(), 1u) << c.reply;
        link.settings = {};
    }
    EXPECT_TRUE(Logged("VerCommand found \"TR30 1.14\" ver 114 ("));
}

TEST_F(IdentificationTest, RejectedTwiceIsTheOldFirmwareOfClass2) {
    auto& device = Attach<korrsim::OldLogger>();
    OpenSerial();
    EXPECT_EQ(VerCommand(link, true), 1);
    EXPECT_EQ(link.settings.deviceClass, kClassTr3);
    EXPECT_STREQ(link.settings.className, "Tr3");
    EXPECT_EQ(link.settings.newCommandSet, 0);
    EXPECT_EQ(link.settings.capabilities, 0x331Cu);
    EXPECT_FALSE(device.Heard("show")) << "a login leaves the report for later";
    EXPECT_EQ(device.Lines().size(), 6u) << "two exchanges of three attempts";
    EXPECT_TRUE(Logged("VerCommand found Tr3 with old firmware ("));

    // Known now as old firmware: the version comes from the report.
    EXPECT_EQ(VerCommand(link, false), 1);
    EXPECT_TRUE(device.Heard("show"));
    EXPECT_STREQ(link.settings.versionText, "1.20");
    EXPECT_EQ(link.settings.version, 120);
    EXPECT_STREQ(link.settings.deviceName, "OLDTR3");
    EXPECT_EQ(link.settings.interval, 60u);
    EXPECT_EQ(link.resets, 3u);
}

TEST_F(IdentificationTest, RejectedOnceThenAnsweredIsWhatTheAnswerSays) {
    auto& device = Logger("TR30 1.14");
    device.AnswerErrors(3);  // one whole exchange rejected
    OpenSerial();
    EXPECT_EQ(VerCommand(link, true), 1);
    EXPECT_EQ(link.settings.deviceClass, kClassTr30);
    EXPECT_EQ(device.Lines().size(), 4u);
}

TEST_F(IdentificationTest, OldFirmwareOutsideALoginReadsTheReportAtOnce) {
    auto& device = Attach<korrsim::OldLogger>("1.05");
    OpenSerial();
    EXPECT_EQ(VerCommand(link, false), -13) << "too old for this updater";
    EXPECT_TRUE(device.Heard("show"));
    EXPECT_EQ(link.settings.deviceClass, kClassTr3);
    EXPECT_EQ(link.settings.version, 105);
}

TEST_F(IdentificationTest, LoaderAnswersInsteadOfTheFirmware) {
    {
        auto& banner = Answering("+12+\r");
        OpenSerial();
        EXPECT_EQ(VerCommand(link, true), -80);
        EXPECT_EQ(LinesHeard(banner), 1u) << "no second try";
        EXPECT_EQ(link.settings.deviceClass, kClassUnknown);
        EXPECT_TRUE(Logged("VerCommand failed with error -80"));
        KSClose(link.port);
    }
    bench.Line().AttachDevice(nullptr);
    auto& waiting = Answering("$");
    OpenSerial();
    const uint32_t start = TickMs();
    EXPECT_EQ(VerCommand(link, true), -81);
    EXPECT_EQ(LinesHeard(waiting), 2u) << "the prompt twice in a row";
    EXPECT_GE(TickMs() - start, 3000u);
}

TEST_F(IdentificationTest, ShortLinesAndNoise) {
    struct Case {
        const char* answer;
        int32_t expected;
        size_t lines;
    };
    const Case cases[] = {
        {">", -30, 3},            // a bare prompt three times: give up
        {"\rhello\r>", -30, 6},   // nothing to make of it, every attempt
        {"x>", -32, 6},           // our first byte handed back: a relay
        {"\rTR30 1.14", -30, 6},  // the line never ends
        {"\rA+B\r>", -30, 6},     // a plus, but no loader banner
    };
    for (const Case& c : cases) {
        bench.Line().AttachDevice(nullptr);
        auto& device = Answering(c.answer);
        OpenSerial();
        EXPECT_EQ(VerCommand(link, true), c.expected) << c.answer;
        EXPECT_EQ(LinesHeard(device), c.lines) << c.answer;
        EXPECT_EQ(link.settings.version, 0);
        EXPECT_EQ(link.settings.versionText[0], '\0');
        KSClose(link.port);
    }
    EXPECT_TRUE(Logged("VerCommand couldn't deciper \"\rhello\r>\""));
}

TEST_F(IdentificationTest, SilenceStopsAtOnceUnlessEachExchangeIsOneTry) {
    auto& device = Logger("TR30 1.14");
    device.SetSilent(true);
    OpenSerial();
    EXPECT_EQ(VerCommand(link, true), -21);
    EXPECT_EQ(device.Lines().size(), 3u);
    device.ClearLines();
    link.tries = 1;
    EXPECT_EQ(VerCommand(link, true), -21);
    EXPECT_EQ(device.Lines().size(), 4u) << "tries + 3 exchanges of one attempt";
}

TEST_F(IdentificationTest, FailureForgetsAnEarlierIdentity) {
    auto& device = Logger("TR30 2.02");
    OpenSerial();
    ASSERT_EQ(VerCommand(link, true), 1);
    device.SetSilent(true);
    EXPECT_EQ(VerCommand(link, true), -21);
    EXPECT_EQ(link.settings.deviceClass, kClassUnknown);
    EXPECT_EQ(link.settings.capabilities, 0u) << "capability-gated commands must now refuse";
    EXPECT_EQ(link.settings.version, 0);
}

TEST_F(IdentificationTest, RadioLinkWaitsLonger) {
    auto& device = Logger("TR30 1.14");
    device.SetReplyDelay(500 * kUsPerMs);
    OpenSerial();
    link.request.linkType = kLinkRadio;
    EXPECT_EQ(VerCommand(link, true), 1);
    EXPECT_EQ(device.Lines().size(), 1u);
}

// --- the "show" report ---------------------------------------------------------------------

class ShowTest : public IdentificationTest {
  protected:
    void OldDevice(const std::string& report) {
        Answering(report);
        OpenSerial();
        link.settings.deviceClass = kClassTr3;
    }
};

TEST_F(ShowTest, RefusedOnNewFirmware) {
    Logger("TR30 1.14");
    OpenSerial();
    link.settings.deviceClass = kClassTr3;
    link.settings.newCommandSet = 1;
    EXPECT_EQ(ParseShowCommand(link, nullptr), -11);
    EXPECT_TRUE(Logged("ParseShowCommand doesn't work with devices running \"new\" firmware."));
}

TEST_F(ShowTest, ReadsEveryLabel) {
    OldDevice("\rID: FIELD7\rVersion: 1.32\rRadio: 2\rWake: 900\rResets: 17\r>");
    link.settings.serialNumber[0] = 'X';
    EXPECT_EQ(ParseShowCommand(link, nullptr), 1);
    EXPECT_STREQ(link.settings.deviceName, "FIELD7");
    EXPECT_STREQ(link.settings.versionText, "1.32");
    EXPECT_EQ(link.settings.version, 132);
    EXPECT_EQ(link.settings.radioMode, 2u);
    EXPECT_EQ(link.settings.interval, 900u);
    EXPECT_EQ(link.resets, 17u);
    EXPECT_EQ(link.settings.serialNumber[0], '\0');
    EXPECT_TRUE(Logged("ParseShowCommand found FIELD7:1.32:2:900:17 ("));

    char name[kDeviceNameCapacity] = "zzz";
    EXPECT_EQ(ParseShowCommand(link, name), 1);
    EXPECT_STREQ(name, "FIELD7");
}

TEST_F(ShowTest, BadValuesClearTheIdentity) {
    struct Case {
        const char* report;
        int errors;
    };
    const Case cases[] = {
        {"\rID: A\rVersion: 1.2\rRadio: 0\r>", 2},  // fewer than three numbers
        {"\rID: A\rVersion: 1.20\rRadio: x\rWake: y\r>", 12},
        {"\rVersion: 1.20\rResets: z\r>", 16},
        {"\rVersion: 1.20\rID:", 1},  // the report ends at the label
        {"\rVersion: 1.20\rWake:\r>", 8},
    };
    for (const Case& c : cases) {
        bench.Line().AttachDevice(nullptr);
        OldDevice(c.report);
        EXPECT_EQ(ParseShowCommand(link, nullptr), -30) << c.report;
        EXPECT_EQ(link.settings.version, -1);
        EXPECT_EQ(link.settings.interval, 0xFFFFFFFFu);
        EXPECT_EQ(link.settings.deviceName[0], '\0');
        EXPECT_EQ(link.settings.versionText[0], '\0');
        EXPECT_TRUE(Logged("ParseShowCommand failed with errors ") &&
                    Logged(" and " + std::to_string(c.errors) + " ("))
            << c.report;
        KSClose(link.port);
        link.settings = {};
    }
}

TEST_F(ShowTest, TooOldAndNameOnly) {
    OldDevice("\rID: OLD\rVersion: 1.05\rWake: 60\r>");
    EXPECT_EQ(ParseShowCommand(link, nullptr), -13);
    char name[kDeviceNameCapacity] = "";
    EXPECT_EQ(ParseShowCommand(link, name), 1) << "the name alone is still readable";
    EXPECT_STREQ(name, "OLD");
    KSClose(link.port);
    bench.Line().AttachDevice(nullptr);
    OldDevice("\rVersion: 1.20\r>");
    EXPECT_EQ(ParseShowCommand(link, name), -30);
    EXPECT_STREQ(name, "") << "no stale name is left behind when the report has none";
}

// --- masks, types and DeviceInfo -----------------------------------------------------------

TEST(Capabilities, FollowClassCommandSetAndVersion) {
    struct Case {
        uint8_t deviceClass;
        uint8_t newCommandSet;
        int32_t version;
        uint32_t mask;
    };
    const Case cases[] = {
        {kClassTr3, 1, 100, 0x371F},      {kClassTr3, 0, 100, 0x331C},
        {kClassTr30, 1, 107, 0x77B7},     {kClassTr30, 1, 118, 0xC7FFF7},
        {kClassTr30, 1, 119, 0xE7FFF7},   {kClassTr30, 1, 200, 0x1E7FFF7},
        {kClassFieldHub, 1, 104, 0x4503}, {kClassTr3b, 1, 203, 0x74BE},
        {kClassCommDevice, 1, 0, 0x3007}, {kClassHandview, 1, 0, 0x1D3083},
        {kClassZLG, 1, 0, 0x7C3F6F7},     {kClassUnknownLogger, 1, 500, 0x1005},
        {kClassWebHub, 1, 500, 0x1005},   {kClassGeneric, 1, 0, 0x1005},
        {kClassEnd, 1, 0, 0x1005},        {200, 1, 0, 0x1005},
    };
    for (const Case& c : cases) {
        DeviceSettingsRecord s;
        s.deviceClass = c.deviceClass;
        s.newCommandSet = c.newCommandSet;
        s.version = c.version;
        UpdateCapabilities(s);
        EXPECT_EQ(s.capabilities, c.mask) << int{c.deviceClass} << " " << c.version;
    }
}

TEST(VersionString, MapsToDeviceTypes) {
    struct Case {
        const char* text;
        int32_t result;
        int type;
        int32_t version;
        bool updatable;
        const char* name;
    };
    const Case cases[] = {
        {"QS7 3.60", 1, 12, 360, true, "Quorra Series 7"},
        {"QS7 3.51", 1, 12, 351, true, "Quorra Series 7"},
        {"QS7 3.50", 1, 12, 350, false, "Quorra Series 7"},
        {"qs7 3.6", 1, 12, 360, true, "Quorra Series 7"},
        {"TR30 1.02", 1, 3, 102, false, "Tr30"},
        {"TR30 1.03", 1, 3, 103, true, "Tr30"},
        {"TR3 9.99", 1, 1, 999, false, "Tr3"},
        {"WH 2.00", 1, 5, 200, false, "WebHub"},
        {"CZ40 1.50", 1, 8, 150, true, "Canopia CZ-40"},
        {"MORVA-XE 1.00", 1, 10, 100, true, "Digital Sensor"},
        {"ZLG 0.01", 1, 19, 1, true, "ZL2 Logger"},
        {"XYZ 1.00", -30, 0, 100, false, "UNKNOWN"},
        {"END 1.00", -30, 0, 100, false, "UNKNOWN"},
        {"UNKNOWN 1.00", -30, 0, 100, false, "UNKNOWN"},
        {"QS7", 1, 0, 0, false, "UNKNOWN"},
    };
    for (const Case& c : cases) {
        DeviceInfo info;
        EXPECT_EQ(ParseVersionString(c.text, &info), c.result) << c.text;
        EXPECT_EQ(info.type, c.type) << c.text;
        EXPECT_EQ(info.version, c.version) << c.text;
        EXPECT_EQ(info.updatable, c.updatable) << c.text;
        EXPECT_STREQ(info.displayName, c.name) << c.text;
        EXPECT_STREQ(info.versionText, c.text);
    }
}

TEST(VersionString, UnreadableLeavesTheRecordAlone) {
    DeviceInfo info;
    info.type = 99;
    EXPECT_EQ(ParseVersionString("QS7 x.60", &info), -30);
    EXPECT_EQ(ParseVersionString("QS7 3.", &info), -30);
    EXPECT_EQ(info.type, 99);
    EXPECT_EQ(ParseVersionString("", &info), -10);
    EXPECT_EQ(ParseVersionString(nullptr, &info), -10);
    EXPECT_EQ(ParseVersionString("QS7 3.60", nullptr), -10);
    EXPECT_EQ(info.type, 99);
}

TEST(VersionString, CarriesTheTypeFacts) {
    DeviceInfo info;
    ASSERT_EQ(ParseVersionString("QE8 1.00", &info), 1);
    EXPECT_EQ(info.type, 15);
    EXPECT_EQ(info.twentyBitAddresses, 1);
    EXPECT_EQ(info.flashStart, 0x2100u);
    EXPECT_EQ(info.flashEnd, 0x1FF00u);
    EXPECT_EQ(info.infoSegments, 3u);
    EXPECT_EQ(info.infoSegmentSize, 64u);
    EXPECT_EQ(info.loaderBaud, 57600u);
    EXPECT_EQ(info.restartDelayMs, 4000u);
    EXPECT_EQ(info.accessCode, 1);
    EXPECT_EQ(info.setClock, 1);
    EXPECT_EQ(info.checkBattery, 0);
    ASSERT_EQ(ParseVersionString("TR3B 1.00", &info), 1);
    EXPECT_EQ(info.checkWithInit, 1);
    EXPECT_EQ(info.saveRestore, 1);
    EXPECT_EQ(info.eraseData, 0);
    ASSERT_EQ(ParseVersionString("SZ 1.00", &info), 1);
    EXPECT_EQ(info.calibrationNotice, 1);
    EXPECT_EQ(info.loaderBaud, 9600u);
    EXPECT_EQ(info.infoStart, 0x1000u);
}

TEST(DeviceInfoFill, DigitalSensorMemoryMap) {
    struct Case {
        int32_t sensor;
        int32_t version;
        bool oldMap;
    };
    const Case cases[] = {{'z', 249, true},  {'x', 100, true},  {'z', 250, false},
                          {'x', 300, false}, {'w', 249, false}, {0, 100, false}};
    for (const Case& c : cases) {
        DeviceInfo info;
        FillDeviceInfo(kDeviceTypeDigitalSensor, c.version, c.sensor, &info);
        EXPECT_EQ(info.sensorType, c.sensor);
        EXPECT_EQ(info.updatable, 1);
        EXPECT_EQ(info.flashStart, c.oldMap ? 0x1100u : 0x8000u) << char(c.sensor) << c.version;
        EXPECT_EQ(info.flashEnd, 0xF9FFu);
        EXPECT_EQ(info.infoStart, 0x1000u);
        EXPECT_EQ(info.infoSegments, c.oldMap ? 2u : 3u);
        EXPECT_EQ(info.infoSegmentSize, c.oldMap ? 128u : 64u);
    }
}

TEST(DeviceInfoFill, UpdatableByType) {
    // The oldest firmware each type's update accepts; -1: never; 0: any, even an unreadable one.
    const int32_t from[20] = {-1, -1, 0,   103, 105, -1, 118, 0, 150, 0,
                              0,  0,  351, 0,   0,   0,  0,   0, 0,   0};
    for (int type = 0; type < 20; ++type) {
        DeviceInfo info;
        FillDeviceInfo(type, 1000, 0, &info);
        EXPECT_EQ(info.updatable, from[type] >= 0) << type;
        if (from[type] == 0) {
            FillDeviceInfo(type, -1, 0, &info);
            EXPECT_EQ(info.updatable, 1) << type;
        }
        if (from[type] > 0) {
            FillDeviceInfo(type, from[type] - 1, 0, &info);
            EXPECT_EQ(info.updatable, 0) << type;
            FillDeviceInfo(type, from[type], 0, &info);
            EXPECT_EQ(info.updatable, 1) << type;
        }
        EXPECT_STREQ(info.displayName, kDeviceTypes[type].displayName);
    }
    for (int type : {20, 21, -1, 255}) {
        DeviceInfo info;
        FillDeviceInfo(type, 500, 0, &info);
        EXPECT_EQ(info.type, 0) << type;
        EXPECT_EQ(info.updatable, 0) << type;
        EXPECT_STREQ(info.displayName, "UNKNOWN") << type;
        EXPECT_EQ(info.restartDelayMs, 7000u) << type;
    }
}

}  // namespace
