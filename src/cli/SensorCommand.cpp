// korrbsl sensor: connects to the communication device as an update does, reads what the
// digital sensor on its bus keeps (address, identification, firmware version, type, calibration)
// and, when asked, writes a new address or calibration and reads it back to confirm.
#include "cli/SensorCommand.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/ErrorText.h"
#include "cli/JsonLine.h"
#include "cli/PortAccess.h"
#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/MORVA_Protocol.h"
#include "log/KorrLog.h"
#include "sdi/KorrSDI12.h"
#include "serial/Clock.h"
#include "serial/PosixPort.h"

namespace korrcli {

namespace {

struct SensorOptions {
    std::string port;
    std::string address;
    std::string calibration;
    bool json = false;
};

constexpr uint8_t kUpdateBaudIndex = 2;  // 9600 baud, as an update connects
constexpr uint32_t kSerialTries = 3;
constexpr const char* kAccessCode = "*8173";

// The device's codes overlap errno values, so port errors are told apart by trying the port
// first, not by their number.
constexpr CodeText kMeanings[] = {
    {-10, "a required argument is missing"},
    {-11, "the value cannot be sent to the sensor"},
    {-13, "the device's firmware is too old for this updater"},
    {-20, "nothing is listening on the port"},
    {-21, "no answer from the sensor bus (is a sensor connected?)"},
    {-22, "the sensor did not answer"},
    {-25, "the device refused the access code"},
    {-30, "the sensor's answer was not understood or did not confirm the change"},
    {-32, "the device echoes every command (is a relay active?)"},
    {-34, "the sensor refused the calibration"},
    {-60, "out of memory"},
    {-80, "the firmware loader answers instead of the firmware (interrupted update?)"},
    {-81, "the firmware loader is waiting instead of the firmware (interrupted update?)"},
};

int Fail(int32_t code) {
    return ReportError(code, CodeMeaning(kMeanings, code, SystemErrorMeaning(code)));
}

// The instrument access code, typed slowly as the firmware wants it, then confirmed with
// "\n\r". 1, or -25 when no attempt was confirmed.
int32_t AccessCodeLogin(korr::MORVA_Protocol& link) {
    char login[32];
    korr::FormatText(login, sizeof login, "login %s", kAccessCode);
    for (int attempt = 0; attempt < 3; ++attempt) {
        korr::KSPurge(link.port);
        for (const char* c = login; *c != '\0'; ++c) {
            korr::KSWrite(link.port, c, 1);
            korr::DelayMs(50);
        }
        korr::DelayMs(200);
        char reply[32];
        uint32_t capacity = sizeof reply;
        uint32_t ms = 0;
        if (link.DeviceCommand("\n\r", '>', 3000, reply, &capacity, &ms) > 0 &&
            std::strstr(reply, "OK") != nullptr)
            return 1;
    }
    return -25;
}

// Opens the port and logs into the communication device; the caller disconnects.
int32_t Connect(korr::MORVA_Protocol& link, const std::string& port, bool* loggedIn) {
    korr::LinkOptions options;
    options.serialTries = kSerialTries;
    options.radioTries = 0;
    if (int32_t r = link.ConfigureLink(&options, true); r < 0) return r;
    korr::ConnectRequest request;
    korr::CopyText(request.portName, port.c_str());
    request.linkType = korr::kLinkSerial;
    request.baudIndex = kUpdateBaudIndex;
    if (int32_t r = link.ConnectDevice(&request); r < 0) return r;
    korr::DeviceInfo info;
    korr::ParseVersionString(link.settings.versionText, &info);
    if (!info.accessCode) return 1;
    const int32_t r = AccessCodeLogin(link);
    *loggedIn = r > 0;
    return r;
}

// Writes what was asked and reads the sensor again; -30 when it did not keep the change.
int32_t Change(korr::KorrSDI12& sdi, const SensorOptions& o) {
    if (!o.address.empty() && o.address[0] != sdi.sensorAddress) {
        if (int32_t r = sdi.SDISetSensorAddress(o.address[0]); r < 0) return r;
    }
    if (!o.calibration.empty()) {
        if (int32_t r = sdi.SDISetSensorCalibration(o.calibration.c_str()); r != 1)
            return r < 0 ? r : -30;
    }
    if (int32_t r = sdi.SDIReadSensorInfo(); r < 0) return r;
    if (!o.address.empty() && sdi.sensorAddress != o.address[0]) return -30;
    if (!o.calibration.empty() && o.calibration != sdi.calibration1.data()) return -30;
    return 1;
}

// Reads the sensor and makes the changes asked for. A refusal of this command's own gets its
// meaning in `meaning`.
int32_t ReadAndChange(korr::KorrSDI12& sdi, const SensorOptions& o, char* meaning,
                      size_t capacity) {
    if (int32_t r = sdi.SDIReadSensorInfo(); r < 0) return r;
    // The address change goes to address 0 only: a sensor elsewhere would never hear it.
    if (!o.address.empty() && o.address[0] != sdi.sensorAddress && sdi.sensorAddress != '0') {
        korr::FormatText(meaning, capacity,
                         "the sensor has address %c; only a sensor at address 0 takes a new one",
                         sdi.sensorAddress);
        return -11;
    }
    return o.address.empty() && o.calibration.empty() ? 1 : Change(sdi, o);
}

std::string JsonText(const char* text) {
    return JsonString(text);
}

// The type character as a person reads it: the character, or its code when it has no glyph.
std::string TypeText(uint8_t type) {
    if (type == 0) return "unknown";
    char text[8];
    if (type > 0x20 && type < 0x7F) {
        korr::FormatText(text, sizeof text, "%c", type);
    } else {
        korr::FormatText(text, sizeof text, "0x%02X", type);
    }
    return text;
}

void PrintText(const char* port, const korr::MORVA_Protocol& link, const korr::KorrSDI12& sdi) {
    std::printf("port:               %s\n", port);
    std::printf("device:             \"%s\"\n", link.settings.versionText);
    std::printf("sensor address:     %c\n", sdi.sensorAddress);
    std::printf("identification:     %s\n", sdi.identification.data());
    std::printf("firmware version:   %u\n", static_cast<unsigned>(sdi.firmwareVersion));
    std::printf("sensor type:        %s\n", TypeText(sdi.sensorType).c_str());
    std::printf("calibration X4:     %s\n", sdi.calibration1.data());
    if (sdi.sensorType == korr::kSensorTypeTwoCalibrations)
        std::printf("calibration Xa:     %s\n", sdi.calibration2.data());
}

void PrintJson(const char* port, const korr::MORVA_Protocol& link, const korr::KorrSDI12& sdi) {
    const char address[2] = {sdi.sensorAddress, '\0'};
    const char type[2] = {static_cast<char>(sdi.sensorType), '\0'};
    std::string calibration = "[" + JsonText(sdi.calibration1.data());
    if (sdi.sensorType == korr::kSensorTypeTwoCalibrations)
        calibration += ", " + JsonText(sdi.calibration2.data());
    calibration += "]";
    std::printf(
        "{\"port\": %s, \"device\": %s, \"address\": %s, \"identification\": %s, "
        "\"firmwareVersion\": %u, \"sensorType\": %s, \"calibration\": %s}\n",
        JsonText(port).c_str(), JsonText(link.settings.versionText).c_str(),
        JsonText(address).c_str(), JsonText(sdi.identification.data()).c_str(),
        static_cast<unsigned>(sdi.firmwareVersion),
        sdi.sensorType != 0 ? JsonText(type).c_str() : "null", calibration.c_str());
}

int RunSensor(const SensorOptions& o, CommandLog& commandLog) {
    korr::KorrLog* log = commandLog.Log();
    if (int status = CheckPort("sensor", o.port, log); status != kExitOk) return status;
    commandLog.ConcernPort(o.port, false);
    korr::MORVA_Protocol link(log);
    if (link.status < 0) return Fail(link.status);
    bool loggedIn = false;
    int32_t r = Connect(link, o.port, &loggedIn);
    korr::KorrSDI12 sdi(log, &link);
    char meaning[96] = {};
    if (r > 0) r = ReadAndChange(sdi, o, meaning, sizeof meaning);
    if (r > 0) {
        if (o.json) {
            PrintJson(link.port.name, link, sdi);
        } else {
            PrintText(link.port.name, link, sdi);
        }
    }
    if (loggedIn) {
        uint32_t capacity = 0;
        link.DeviceCommand("logout\r", '>', 1000, nullptr, &capacity, nullptr);
    }
    link.DisconnectDevice(false);
    if (r > 0) return kExitOk;
    return meaning[0] != '\0' ? ReportError(r, meaning) : Fail(r);
}

std::string CheckAddress(const std::string& value) {
    const bool ok = value.size() == 1 && std::isalnum(static_cast<unsigned char>(value[0]));
    return ok ? std::string() : "an SDI-12 address is one character 0-9, A-Z or a-z";
}

std::string CheckCalibration(const std::string& value) {
    if (value.empty() || value.size() >= korr::kSDICalibrationCapacity)
        return "a calibration string has 1 to 128 characters";
    for (char c : value) {
        if (c < 0x20 || c > 0x7E || c == '!' || c == '|')
            return "a calibration string is printable ASCII without '!' and '|'";
    }
    return {};
}

}  // namespace

void RegisterSensorCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub = app.add_subcommand(
        "sensor", "Read (and change) the digital sensor behind the communication device");
    auto o = std::make_shared<SensorOptions>();
    sub->add_option("--port", o->port, "serial port of the communication device")->required();
    sub->add_option("--set-address", o->address, "give the sensor this SDI-12 address")
        ->check(CLI::Validator(CheckAddress, "C"));
    sub->add_option("--set-calibration", o->calibration, "write this first calibration string")
        ->check(CLI::Validator(CheckCalibration, "TEXT"));
    sub->add_flag("--json", o->json, "print the sensor's data as one JSON object");
    AddLogOptions(sub, commands.logOptions);
    commands.entries.emplace_back(sub, [o, &commands] { return RunSensor(*o, commands.log); });
}

}  // namespace korrcli
