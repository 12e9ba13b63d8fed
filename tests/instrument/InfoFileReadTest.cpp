// The settings file read back: what each family and type takes from it, and the files it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "instrument/InfoFile.h"
#include "instrument/InfoFileFixture.h"

namespace {

using korr::Korr_protocol;
using namespace korr;

const std::string kHeader = "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n";

class InfoFileRead : public ::testing::Test {
  protected:
    // Reads the text as a file for a device of the type into a fresh object.
    int32_t Read(const std::string& text, int type) {
        const std::string path = dir.File("s.txt");
        korrtest::WriteFile(path, text);
        p.deviceType = static_cast<uint8_t>(type);
        return p.ReadInfoFile(path.c_str());
    }
    // Writes what `from` holds and reads it back into p.
    int32_t RoundTrip(const Korr_protocol& from) {
        const std::string path = dir.File("s.txt");
        EXPECT_EQ(const_cast<Korr_protocol&>(from).WriteInfoFile(path.c_str()), 1);
        p.deviceType = from.deviceType;
        return p.ReadInfoFile(path.c_str());
    }
    korrtest::TempDir dir;
    Korr_protocol p{nullptr};
};

TEST_F(InfoFileRead, Tr30FileSetsTheBitsOfWhatItHolds) {
    ASSERT_EQ(Read(korrtest::DataFile("tr30.settings.txt"), 3), 1);
    const DeviceSettingsRecord& s = p.loggerSettings;
    const uint32_t numbers = kSetTrait | kSetInterval | kSetPADC | kSetDataParameter |
                             kSetRadioMode | kSetRadioChannel | kSetRadioSubchannel | kSetLatitude |
                             kSetLongitude | kSetTimeZone | kSetReportMode | kSetIPPort;
    const uint32_t texts = kSetDeviceID | kSetName | kSetSerialNumber | kSetSite | kSetAPN |
                           kSetAPNUser | kSetAPNPassword | kSetRemoteHost | kSetAuthKey;
    const uint32_t lists = kSetPorts | kSetDepths | kSetADC15 | kSetBuild;
    EXPECT_EQ(s.validMask, numbers | texts | lists);
    EXPECT_EQ(p.SavedFlags, s.validMask);
    EXPECT_EQ(s.capabilities, 0x0707FFF7u);
    EXPECT_EQ(s.trait, 0x4001);
    EXPECT_STREQ(s.deviceName, "Plateau");
    EXPECT_STREQ(s.site, "North \"Ridge\", plot 4");
    EXPECT_DOUBLE_EQ(s.latitude, 47.12346);
    EXPECT_DOUBLE_EQ(s.longitude, -122.5);
    EXPECT_EQ(s.interval, 600u);
    EXPECT_EQ(s.depths[4], 255);
    EXPECT_EQ(s.adc15A[0], 100);
    EXPECT_EQ(s.adc15B[4], 11);
    EXPECT_STREQ(s.authKey, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_STREQ(s.build, "B2026-07");
}

TEST_F(InfoFileRead, LoggerNamesThatHoldOtherKeysReadBackWhole) {
    Korr_protocol from(nullptr);
    korrtest::FillTr30(from);
    CopyText(from.loggerSettings.deviceName, "Basnet");
    CopyText(from.loggerSettings.site, "Plateau \"lat\" sn=\"x\"");
    from.loggerSettings.validMask = 0;
    from.loggerSettings.trait = 0;
    ASSERT_EQ(RoundTrip(from), 1);
    const DeviceSettingsRecord& s = p.loggerSettings;
    EXPECT_STREQ(s.deviceName, "Basnet");
    EXPECT_STREQ(s.serialNumber, "TR30-0042");
    EXPECT_STREQ(s.site, "Plateau \"lat\" sn=\"x\"");
    EXPECT_DOUBLE_EQ(s.latitude, 47.12346);
    EXPECT_EQ(s.validMask & (kSetADC15 | kSetADC30 | kSetBuild), 0u);  // lines not written
    EXPECT_EQ(s.trait, 0x4001);  // a radio subchannel tells of a radio
}

// A logger's file holds its radio lines whether it has a radio or not; the radio mark says which,
// and a file without it (older files) takes the radio lines to mean a radio.
TEST_F(InfoFileRead, RadioMarkDecidesWhetherTheRadioComesBack) {
    struct Case {
        const char* mark;
        int32_t trait;
        bool radioBits;
    };
    const Case cases[] = {
        {"", 0x4001, true}, {"radio=\"1\"\r\n", 0x4001, true}, {"radio=\"0\"\r\n", 0x4000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mark);
        p.loggerSettings = DeviceSettingsRecord{};
        for (const char* type : {"Tr30", "FieldHub"}) {
            const int deviceType = std::strcmp(type, "Tr30") == 0 ? 3 : 4;
            ASSERT_EQ(Read(kHeader + "type=\"" + type + "\"\r\ntrait=\"16384\"\r\nrmode=\"1\"\r\n" +
                               "rch=\"4\"\r\nrsch=\"2\"\r\n" + c.mark,
                           deviceType),
                      1);
            EXPECT_EQ(p.loggerSettings.trait, c.trait) << type;
            EXPECT_TRUE(p.loggerSettings.validMask & kSetTrait) << type;
            EXPECT_EQ((p.loggerSettings.validMask & (kSetRadioChannel | kSetRadioSubchannel)) != 0,
                      c.radioBits)
                << type;
        }
    }
}

// The keys a whole file of the type always holds are named when they have no line; a last line
// cut short is not read.
TEST_F(InfoFileRead, KeysAWholeFileHoldsAreNamedWhenMissing) {
    std::string portLines;
    for (int i = 1; i <= 5; ++i) {
        portLines += "Port number=\"" + std::to_string(i) + "\" value=\"" + std::to_string(i) + "\"\r\n";
    }
    const std::string tr3b = "type=\"Tr3b\"\r\nname=\"B\"\r\nsn=\"\"\r\nwake=\"60\"\r\npadc=\"0\"\r\n";
    struct Case {
        const char* name;
        int type;
        std::string body;
        const char* missing;
    };
    const Case cases[] = {
        {"Tr3b with the ports line", 2, tr3b + "ports=\"1 2 3 4 5\"\r\n", ""},
        {"Tr3b with the older port lines", 2, tr3b + portLines, ""},
        {"Tr3b without ports", 2, tr3b, "ports"},
        {"QMINI cut inside tau", 6,
         "type=\"QMINI\"\r\nsn=\"Q\"\r\nlang=\"1\"\r\ncontr=\"2\"\r\nfvals=\"\"\r\n"
         "uvals=\"\"\r\ntau=\"4",
         "tau, hadj"},
        {"sensor without calibration", 10, "type=\"MORVA-XE\"\r\naddressInt=\"48\"", "calibration"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Read(kHeader + c.body, c.type), 1);
        EXPECT_EQ(p.settingsNotInFile, c.missing);
        EXPECT_EQ(p.instrument.tau, 0);  // a cut "4" is not taken
    }
}

TEST_F(InfoFileRead, EmptyTextsLeaveTheirBitsClear) {
    Korr_protocol from(nullptr);
    from.deviceType = 3;
    CopyText(from.loggerSettings.className, "rB2");
    ASSERT_EQ(RoundTrip(from), 1);
    EXPECT_EQ(p.loggerSettings.validMask &
                  (kSetName | kSetSerialNumber | kSetSite | kSetAPN | kSetAuthKey | kSetDeviceID),
              0u);
    EXPECT_NE(p.loggerSettings.validMask & kSetPorts, 0u);
}

TEST_F(InfoFileRead, ADCFactorsOfZeroOr255MarkTheSetMissing) {
    struct Case {
        const char* slopes;
        const char* offsets;
        bool valid;
    };
    const Case cases[] = {
        {"1 2 3 4 5", "6 7 8 9 10", true},    {"0 2 3 4 5", "6 7 8 9 10", false},
        {"255 2 3 4 5", "6 7 8 9 10", false}, {"1 2 3 4 5", "0 7 8 9 10", false},
        {"1 2 3 4 5", "255 7 8 9 10", false}, {"1 2 3 4 5", "6 7 8 9", false},
    };
    for (const Case& c : cases) {
        Korr_protocol fresh(nullptr);
        std::string text = kHeader + "type=\"Tr30\"\r\nADC30 slopes=\"" + c.slopes +
                           "\"\r\nADC30 offsets=\"" + c.offsets + "\"\r\n";
        const std::string path = dir.File("adc.txt");
        korrtest::WriteFile(path, text);
        fresh.deviceType = 3;
        ASSERT_EQ(fresh.ReadInfoFile(path.c_str()), 1);
        EXPECT_EQ((fresh.loggerSettings.validMask & kSetADC30) != 0, c.valid)
            << c.slopes << " / " << c.offsets;
        EXPECT_EQ(fresh.loggerSettings.validMask & kSetADC15, 0u);
    }
}

TEST_F(InfoFileRead, Tr3bPortsComeFromThePortsLineOrTheOlderPortLines) {
    Korr_protocol from(nullptr);
    korrtest::FillTr30(from);
    from.deviceType = 2;
    CopyText(from.loggerSettings.className, "Tr3b");
    ASSERT_EQ(RoundTrip(from), 1);
    const uint8_t expected[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(std::memcmp(p.loggerSettings.ports, expected, 5), 0);
    EXPECT_EQ(p.loggerSettings.validMask,
              kSetName | kSetSerialNumber | kSetInterval | kSetPADC | kSetPorts | kSetBuild);
    EXPECT_EQ(p.loggerSettings.capabilities, 0x000474BEu);

    Korr_protocol older(nullptr);
    const std::string path = dir.File("old.txt");
    korrtest::WriteFile(path, kHeader +
                                  "type=\"Tr3b\"\r\nports=\"9 9 9 9 9\"\r\n"
                                  "Port number=\"1\" value=\"7\"\r\n"
                                  "Port number=\"2\" value=\"258\"\r\n"
                                  "Port number=\"4\" value=\"4\"\r\n");
    older.deviceType = 2;
    ASSERT_EQ(older.ReadInfoFile(path.c_str()), 1);
    const uint8_t portLines[5] = {7, 2, 2, 4, 4};  // a missing line repeats the one before
    EXPECT_EQ(std::memcmp(older.loggerSettings.ports, portLines, 5), 0);
    EXPECT_EQ(older.loggerSettings.validMask, kSetPorts);
}

TEST_F(InfoFileRead, FieldHubTakesItsFewKeys) {
    ASSERT_EQ(Read(kHeader + "type=\"FieldHub\"\r\nname=\"Hub\"\r\nrch=\"4\"\r\nrsch=\"2\"\r\n"
                             "data=\"3\"\r\nsite=\"ignored\"\r\n",
                   4),
              1);
    EXPECT_EQ(p.loggerSettings.validMask,
              kSetName | kSetRadioChannel | kSetRadioSubchannel | kSetTrait | kSetDataParameter);
    EXPECT_EQ(p.loggerSettings.trait, 0x4001);
    EXPECT_EQ(p.loggerSettings.capabilities, 0x00024583u);
    EXPECT_STREQ(p.loggerSettings.site, "");
}

TEST_F(InfoFileRead, ZL2LoggerReadsItsOwnFile) {
    Korr_protocol from(nullptr);
    korrtest::FillTr30(from);
    from.deviceType = 19;
    CopyText(from.loggerSettings.className, "ZLG");
    ASSERT_EQ(RoundTrip(from), 1);
    EXPECT_STREQ(p.loggerSettings.serialNumber, "TR30-0042");
}

TEST_F(InfoFileRead, HandviewCalibrationListEndsAtTheFirstGap) {
    ASSERT_EQ(Read(korrtest::DataFile("hv.settings.txt") + "cal04=\"after the gap\"\r\n", 14), 1);
    EXPECT_STREQ(p.instrument.cal[0], "0 1.000");
    EXPECT_STREQ(p.instrument.cal[2], "2 1.002");
    EXPECT_STREQ(p.instrument.cal[3], "");
    EXPECT_STREQ(p.instrument.cal[4], "");
    EXPECT_EQ(p.instrument.contrast, 12);
    EXPECT_EQ(p.instrumentType, 14);
    EXPECT_EQ(p.instrumentFlags, kInstFromFile | kInstName | kInstSerialNumber | kInstContrast |
                                     kInstAdc15 | kInstAdc30 | kInstHVUnits | kInstCal);
}

TEST_F(InfoFileRead, QE8FileBringsBackItsRecordsAndSerialNumber) {
    ASSERT_EQ(Read(korrtest::DataFile("qe8.settings.txt"), 15), 1);
    EXPECT_EQ(p.instrumentFlags, kInstFromFile | kInstConfig | kInstTadj | kInstSerialNumber |
                                     kInstUserRecords | kInstEqnRecords);
    EXPECT_STREQ(p.instrument.serialNumber, "12");
    ASSERT_EQ(p.userRecords.count, 2);
    EXPECT_STREQ(p.userRecords.records[1].text, "ZAllCWYJQ2xheQ==");
    ASSERT_EQ(p.eqnRecords.count, 2);
    EXPECT_STREQ(p.eqnRecords.records[0].text, "Zeta_1 x+1");
}

// Every instrument type reads back exactly the settings it collects (its request word).
TEST_F(InfoFileRead, EachInstrumentTypeReadsBackWhatItCollects) {
    struct Case {
        int type;
        InstrumentFlags collected;
    };
    const Case cases[] = {
        {6, 0x4000007A},  {7, 0x00100192},  {8, 0x07000C12},  {9, 0x000000B2},
        {11, 0x80027402}, {12, 0x00000C00}, {13, 0x00000003}, {14, 0x00AC0013},
        {15, 0x38000802}, {16, 0x28400802}, {17, 0x00000C02},  // adccal too, which a real HYP9
                                                               // leaves empty
    };
    for (const Case& c : cases) {
        Korr_protocol from(nullptr);
        from.deviceType = static_cast<uint8_t>(c.type);
        InstrumentSettings& s = from.instrument;
        for (char* text :
             {s.serialNumber, s.name,  s.config, s.autoValue, s.hvUnits,  s.sample,    s.chai,
              s.fvals,        s.uvals, s.adc,    s.adccal,    s.wtoffset, s.wtfactory, s.p1offset,
              s.sys,          s.adc15, s.adc30,  s.ext,       s.tadj,     s.location}) {
            CopyText(text, 8, "v \"1\"");
        }
        // A QE8 keeps no hadj; the file's tau alone brings nothing.
        if (c.type != 15) CopyText(s.hadj, "h");
        s.language = 2;
        s.contrast = 3;
        s.units = 4;
        s.tau = 5;
        CopyText(s.cal[0], "c0");
        korrtest::SetRecords(from.userRecords, {"dQ=="});
        korrtest::SetRecords(from.eqnRecords, {"e 1"});
        Korr_protocol to(nullptr);
        const std::string path = dir.File("each.txt");
        ASSERT_EQ(from.WriteInfoFile(path.c_str()), 1);
        to.deviceType = static_cast<uint8_t>(c.type);
        ASSERT_EQ(to.ReadInfoFile(path.c_str()), 1) << c.type;
        EXPECT_EQ(to.instrumentFlags, c.collected | kInstFromFile) << "type " << c.type;
        EXPECT_STREQ(to.instrument.serialNumber, (c.collected & kInstSerialNumber) ? "v \"1\"" : "")
            << c.type;
    }
}

TEST_F(InfoFileRead, CZ40WithoutSerialNumberKeepsItsContrastOutOfTheRestore) {
    ASSERT_EQ(Read(kHeader + "type=\"CZ40\"\r\nsn=\"\"\r\ncontr=\"0\"\r\nadccal=\"a\"\r\n", 8), 1);
    EXPECT_EQ(p.instrumentFlags, kInstFromFile | kInstAdccal);
}

TEST_F(InfoFileRead, SensorFileGivesAddressAndCalibration) {
    ASSERT_EQ(Read(korrtest::DataFile("sensor.settings.txt"), 10), 1);
    EXPECT_EQ(p.sdi->sensorAddress, '3');
    EXPECT_STREQ(p.sdi->calibration1.data(), "X4 0.1 0.2 0.3");
    EXPECT_EQ(p.sdi->sensorType, 'y');
    EXPECT_STREQ(p.sdi->calibration2.data(), "Xa 1.5 -0.25");

    // An older file, without the type and the second string, leaves both as they were.
    ASSERT_EQ(Read(kHeader + "type=\"MORVA-XE\"\r\naddressInt=\"52\"\r\ncalibration=\"X4 9\"\r\n", 10),
              1);
    EXPECT_EQ(p.sdi->sensorAddress, '4');
    EXPECT_EQ(p.sdi->sensorType, 'y');
    EXPECT_STREQ(p.sdi->calibration2.data(), "Xa 1.5 -0.25");
}

TEST_F(InfoFileRead, WrongOrEmptyFileChangesNothing) {
    const struct {
        int type;
        const char* file;
    } cases[] = {
        {3, ""},     {2, ""},     {4, ""},    {18, ""},   {19, ""},
        {6, ""},     {12, ""},    {14, ""},   {10, ""},   {2, "tr30"},
        {4, "tr30"}, {14, "qe8"}, {15, "hv"}, {10, "hv"}, {6, "sensor"},
    };
    for (const auto& c : cases) {
        Korr_protocol fresh(nullptr);
        CopyText(fresh.instrument.serialNumber, "kept");
        CopyText(fresh.loggerSettings.serialNumber, "kept");
        fresh.loggerSettings.validMask = 0x77;
        const std::string text =
            c.file[0] != '\0' ? korrtest::DataFile(std::string(c.file) + ".settings.txt") : "";
        const std::string path = dir.File("wrong.txt");
        korrtest::WriteFile(path, text);
        fresh.deviceType = static_cast<uint8_t>(c.type);
        EXPECT_EQ(fresh.ReadInfoFile(path.c_str()), -30) << c.type << " " << c.file;
        EXPECT_STREQ(fresh.instrument.serialNumber, "kept");
        EXPECT_STREQ(fresh.loggerSettings.serialNumber, "kept");
        EXPECT_EQ(fresh.loggerSettings.validMask, 0x77u);
        EXPECT_EQ(fresh.instrumentFlags, 0u);
    }
}

TEST_F(InfoFileRead, FileErrors) {
    p.deviceType = 12;
    EXPECT_EQ(p.ReadInfoFile(dir.File("missing.txt").c_str()), -102);
    EXPECT_EQ(p.ReadInfoFile(""), -10);
    EXPECT_EQ(p.ReadInfoFile(nullptr), -10);
    EXPECT_EQ(Read(kHeader + "type=\"WH\"\r\n", 5), -13);
    EXPECT_EQ(Read(kHeader, 0), -13);
}

TEST_F(InfoFileRead, TheFileNamesItsDeviceType) {
    const struct {
        const char* file;
        int type;
    } cases[] = {
        {"tr30", 3},
        {"hv", 14},
        {"qe8", 15},
        {"sensor", 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            InfoFileDeviceType(korrtest::DataFile(std::string(c.file) + ".settings.txt").c_str()),
            c.type);
    }
    EXPECT_EQ(InfoFileDeviceType("type=\"rB2\"\r\n"), 18);
    EXPECT_EQ(InfoFileDeviceType("type=\"WH\"\r\n"), 0);
    EXPECT_EQ(InfoFileDeviceType(""), 0);
}

}  // namespace
