// The sensor operations against the simulated sensor behind the communication device, in
// virtual time: identification, type, address, and the calibration strings both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/FixedText.h"
#include "sdi/SdiFixture.h"

namespace {

using korrtest::SdiFixture;

class SensorOperations : public SdiFixture {
  protected:
    // How often the sensor heard a command that starts with `prefix` (after the address).
    long HeardCount(const std::string& prefix) const {
        return std::count_if(sensor.Heard().begin(), sensor.Heard().end(),
                             [&](const std::string& c) {
                                 const std::string bare = c[0] == '|' ? c.substr(1) : c;
                                 return bare.rfind(prefix, 0) == 0;
                             });
    }
};

TEST_F(SensorOperations, ReadSensorInfoTakesEverythingFromTheSensor) {
    sensor.SetIdentity({.vendor = "KORRIN  ", .model = "MV-XE ", .version = "123", .optional = ""});
    sensor.SetCalibration(0, "A=1.0234;B=-0.0125");
    sensor.SetCalibration(1, "T=0.5");
    sdi.calibration1.fill('z');  // left from an earlier sensor
    EXPECT_EQ(sdi.SDIReadSensorInfo(), 1);
    EXPECT_EQ(sdi.sensorAddress, '0');
    EXPECT_STREQ(sdi.identification.data(), "KORRIN  MV-XE 123");
    EXPECT_EQ(sdi.firmwareVersion, 123u);
    EXPECT_EQ(sdi.sensorType, 'y');
    // The value follows the address and one blank; the CR LF is not part of it.
    EXPECT_STREQ(sdi.calibration1.data(), "A=1.0234;B=-0.0125");
    EXPECT_STREQ(sdi.calibration2.data(), "T=0.5");
    EXPECT_TRUE(Logged("KorrSDI12: SDIGetSensorVersion found sensor info: KORRIN  MV-XE 123"));
    EXPECT_TRUE(Logged("SDIGetSensorType found sensor type as \"y\""));
    EXPECT_TRUE(Logged("SDIGetSensorCalibration found calibration Xa \"T=0.5\""));
}

TEST_F(SensorOperations, OnlyTheTypeWithTwoStringsIsAskedForTheSecond) {
    sensor.SetType('w');
    EXPECT_EQ(sdi.SDIReadSensorInfo(), 1);
    EXPECT_EQ(sdi.sensorType, 'w');
    EXPECT_STREQ(sdi.calibration1.data(), "A=1.0234;B=-0.0125;C=0.9981");
    EXPECT_EQ(HeardCount("?Xa!"), 0);
}

// Identification replies that end early: the version comes from the digits that are there,
// never from bytes past the reply.
TEST_F(SensorOperations, ShortIdentificationGivesWhatIsThere) {
    struct Case {
        korrsim::Sdi12Identity identity;
        const char* text;
        uint32_t version;
    };
    const Case cases[] = {
        {{.vendor = "KORRIN  ", .model = "MV-XE ", .version = "12", .optional = ""},
         "KORRIN  MV-XE 12",
         12},
        {{.vendor = "KORRIN  ", .model = "MV-X", .version = "", .optional = ""}, "KORRIN  MV-X", 0},
        {{.vendor = "", .model = "", .version = "", .optional = ""}, "", 0},
        {{.vendor = "KORRIN  ", .model = "MV-XE ", .version = "4x6", .optional = "99"},
         "KORRIN  MV-XE 4x699",
         4},
    };
    for (const Case& c : cases) {
        sensor.SetIdentity(c.identity);
        sdi.firmwareVersion = 777;
        EXPECT_EQ(sdi.SDIGetSensorVersion(), static_cast<int32_t>(c.version)) << c.text;
        EXPECT_EQ(sdi.firmwareVersion, c.version) << c.text;
        EXPECT_STREQ(sdi.identification.data(), c.text);
        EXPECT_EQ(sdi.sensorAddress, '0');
    }
}

TEST_F(SensorOperations, LongIdentificationIsCutAt36Characters) {
    sensor.SetIdentity({.optional = std::string(40, 'o')});
    EXPECT_EQ(sdi.SDIGetSensorVersion(), 123);
    EXPECT_EQ(std::string(sdi.identification.data()), "KORRIN  MV-XE 123" + std::string(19, 'o'));
}

// Sensors that keep quiet about their type are known by their model field; the
// identification is read first when it is not there yet.
TEST_F(SensorOperations, TypeFallsBackToTheModelField) {
    struct Case {
        const char* model;
        int32_t result;
        uint8_t type;
    };
    const Case cases[] = {
        {"K9E   ", 1, 'z'}, {"MV-XM ", 1, '}'}, {"MV-XE ", 1, 127}, {"MV-XY ", -1, 0}};
    sensor.SetTypeQueryAnswered(false);
    for (const Case& c : cases) {
        sensor.SetIdentity({.model = c.model});
        sdi.identification[0] = '\0';
        sdi.sensorType = 0;
        EXPECT_EQ(sdi.SDIGetSensorType(), c.result) << c.model;
        EXPECT_EQ(sdi.sensorType, c.type) << c.model;
        EXPECT_NE(std::string(sdi.identification.data()).find(c.model), std::string::npos);
    }
    EXPECT_TRUE(Logged("SDIGetSensorType recieved error -22"));
    EXPECT_TRUE(Logged("SDIGetSensorType couldn't detirmine sensor type"));
}

TEST_F(SensorOperations, AddressChangeIsConfirmedByTheNewAddress) {
    EXPECT_EQ(sdi.SDISetSensorAddress('5'), 1);
    EXPECT_EQ(sensor.Address(), '5');
    EXPECT_EQ(sdi.sensorAddress, '5');
    EXPECT_TRUE(Logged("SDISetSensorAddress successfully set sensor address to '5'"));
    // Not a character a sensor can take as its address: nothing is sent.
    sensor.SetAddress('0');
    commDevice.ClearBusTraffic();
    EXPECT_EQ(sdi.SDISetSensorAddress('!'), -11);
    EXPECT_EQ(commDevice.BusTraffic(), "");
}

TEST_F(SensorOperations, CalibrationWriteIsConfirmed) {
    sdi.sensorType = 'y';
    korr::CopyText(sdi.calibration2.data(), sdi.calibration2.size(), "T=0.75");
    EXPECT_EQ(sdi.SDISetSensorCalibration("A=2;B=3"), 1);
    EXPECT_EQ(sensor.Calibration(0), "A=2;B=3");
    EXPECT_EQ(sensor.Calibration(1), "T=0.75");
    EXPECT_TRUE(Logged("successfully set sensor X5 calibration to \"A=2;B=3\""));
    EXPECT_TRUE(Logged("successfully set sensor Xb calibration to \"T=0.75\""));
}

TEST_F(SensorOperations, NothingToWriteSendsNothing) {
    EXPECT_EQ(sdi.SDISetSensorCalibration(nullptr), 0);
    EXPECT_EQ(commDevice.BusTraffic(), "");
    EXPECT_TRUE(Logged("SDISetSensorCalibration doesn't have a valid X5 calibration string"));
}

TEST_F(SensorOperations, RefusedCalibrationWriteEndsWithRefusal) {
    sensor.SetType('x');
    sensor.SetCalibrationWritesRefused(true);
    korr::CopyText(sdi.calibration1.data(), sdi.calibration1.size(), "A=2");
    EXPECT_EQ(sdi.SDISetSensorCalibration(nullptr), -34);
    EXPECT_EQ(HeardCount("?X5A=2!"), 5);
    EXPECT_EQ(sensor.Calibration(0), "A=1.0234;B=-0.0125;C=0.9981");
    EXPECT_TRUE(Logged("SDISetSensorCalibration did not set sensor calibration"));
}

// The held type says two strings, but the sensor takes only the first: the write as a whole
// did not go through.
TEST_F(SensorOperations, FailedSecondStringFailsTheWrite) {
    sensor.SetType('x');
    sdi.sensorType = 'y';
    korr::CopyText(sdi.calibration2.data(), sdi.calibration2.size(), "T=0.75");
    EXPECT_EQ(sdi.SDISetSensorCalibration("A=2"), -22);
    EXPECT_EQ(sensor.Calibration(0), "A=2");
}

// A value that cannot travel whole in one command is refused before anything is sent.
TEST_F(SensorOperations, CalibrationThatDoesNotFitACommandIsRefused) {
    for (const std::string& value : {std::string("A=1!B=2"), std::string(129, 'c')}) {
        EXPECT_EQ(sdi.SDISetSensorCalibration(value.c_str()), -11);
    }
    EXPECT_EQ(commDevice.BusTraffic(), "");
}

// The reply holds at most 128 bytes: a longer calibration arrives cut, without its CR, and is
// not taken (it would be written back cut).
TEST_F(SensorOperations, CalibrationCutByTheReplyLimitIsNotTaken) {
    sensor.SetType('x');
    sensor.SetCalibration(0, std::string(126, 'c'));
    korr::CopyText(sdi.calibration1.data(), sdi.calibration1.size(), "old");
    EXPECT_EQ(sdi.SDIGetSensorCalibration(), -30);
    EXPECT_STREQ(sdi.calibration1.data(), "");
    EXPECT_EQ(sdi.SDISetSensorCalibration(nullptr), 0);
    // 125 characters still fit with the address, the blank and the CR.
    sensor.SetCalibration(0, std::string(125, 'c'));
    EXPECT_EQ(sdi.SDIGetSensorCalibration(), 1);
    EXPECT_EQ(std::string(sdi.calibration1.data()), std::string(125, 'c'));
}

TEST_F(SensorOperations, SilentSensorFailsTheRefresh) {
    sensor.SetMute(true);
    EXPECT_EQ(sdi.SDIReadSensorInfo(), -22);
    EXPECT_TRUE(Logged("SDIGetSensorVersion recieved error -22"));
    EXPECT_EQ(sdi.sensorAddress, '0');
    EXPECT_EQ(sdi.firmwareVersion, 0u);
}

}  // namespace
