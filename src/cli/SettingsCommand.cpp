// korrbsl settings save --port PORT FILE, settings restore --port PORT FILE [--new-serial SN],
// settings show FILE.
#include "cli/SettingsCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "app/SerialNumberRule.h"
#include "cli/ErrorText.h"
#include "cli/PortAccess.h"
#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/InstrumentMissing.h"
#include "instrument/Korr_protocol.h"
#include "instrument/WholeFile.h"
#include "log/KorrLog.h"
#include "serial/PosixPort.h"

namespace korrcli {

namespace {

struct SettingsOptions {
    std::string port;
    std::string file;
    std::string newSerial;
};

constexpr uint8_t kUpdateBaudIndex = 2;  // 9600 baud, as an update connects
constexpr uint32_t kConnectTries = 3;

// The instrument layer's codes. Its -13 (not for this device type) is also errno EACCES, so file
// problems are found before the device is touched and -13 afterwards means the device.
constexpr CodeText kMeanings[] = {
    {-10, "a required argument is missing"},
    {-12, "the instrument refused the new serial number"},
    {-13, "this device keeps no settings that can be saved or restored"},
    {-20, "nothing is listening on the port"},
    {-21, "no answer from the device"},
    {-25, "the instrument refused the login"},
    {-30, "the device's answer or the file's content was not understood"},
    {-32, "the device echoes every command (is a relay active?)"},
    {-33, "a relay seems to be active on the line"},
    {-34, "the device refused the command"},
    {-35, "some settings were not saved or restored; check the instrument's settings"},
    {-36, "the device is not initialised"},
    {-37, "a setting's value holds a line break, which the settings file cannot keep"},
    {-60, "out of memory, or the file is too large to be a settings file"},
    {-80, "the firmware loader answers instead of the firmware (interrupted update?)"},
    {-81, "the firmware loader is waiting instead of the firmware (interrupted update?)"},
    {-102, "the settings file does not exist"},
    {-105, "no permission to read the settings file"},
    {-106, "the settings file cannot be read"},
    {-120, "this device or its firmware version is not supported"},
};

int Fail(int32_t code) {
    return ReportError(code, CodeMeaning(kMeanings, code, SystemErrorMeaning(code)));
}

// Opens the port and connects as an update does; true, or false once the failure is reported.
bool Connect(korr::Korr_protocol& kp, const std::string& port, korr::DeviceInfo* info,
             CommandLog& commandLog, int* status) {
    *status = CheckPort("settings", port, commandLog.Log());
    if (*status != kExitOk) return false;
    commandLog.ConcernPort(port, false);
    *status = kExitFailed;
    const int32_t r = kp.KDConnect(port.c_str(), kUpdateBaudIndex, kConnectTries, info);
    if (r < 0) Fail(r);
    return r >= 0;
}

// A file that cannot be made in its folder is reported before the device is asked for anything:
// true, or false once the failure is reported.
bool CheckWritableFolder(const std::string& file) {
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return true;
    ReportFailure(FileErrorText(folder, errno, true));
    return false;
}

int RunSave(const SettingsOptions& o, CommandLog& commandLog) {
    if (!CheckWritableFolder(o.file)) return kExitFailed;
    korr::Korr_protocol kp(commandLog.Log());
    korr::DeviceInfo info;
    int status = kExitFailed;
    if (!Connect(kp, o.port, &info, commandLog, &status)) return status;
    const int32_t r = kp.KDSaveInfo(o.file.c_str());
    kp.KDDisconnect(false);
    if (r < 0 && !kp.unsavableSetting.empty()) {
        const std::string meaning = "the value of \"" + kp.unsavableSetting +
                                    "\" holds a line break, which the settings file cannot keep";
        return ReportError(r, meaning.c_str());
    }
    if (r == -35) {
        // The file holds the rest; what it lacks must not go unnoticed.
        std::fprintf(stderr,
                     "saved the settings of the %s to %s without these, which could not "
                     "be read: %s\n",
                     info.displayName, o.file.c_str(),
                     korr::JoinNames(korr::SettingsNotCollected(kp)).c_str());
    }
    if (r < 0) return Fail(r);
    std::printf("saved the settings of the %s to %s\n", info.displayName, o.file.c_str());
    return kExitOk;
}

int RunRestore(const SettingsOptions& o, CommandLog& commandLog) {
    // The number goes to the device inside a command line, as the update's does.
    if (!o.newSerial.empty()) {
        const std::string problem = korr::SerialNumberProblem(o.newSerial);
        if (!problem.empty()) {
            return ReportUsageError("settings restore", "--new-serial is refused: " + problem);
        }
    }
    std::string text;
    if (int32_t r = korr::ReadWholeFile(o.file.c_str(), &text); r < 0) return Fail(r);
    korr::Korr_protocol kp(commandLog.Log());  // holds no settings: the restore reads the file
    korr::DeviceInfo info;
    int status = kExitFailed;
    if (!Connect(kp, o.port, &info, commandLog, &status)) return status;
    const int32_t r =
        kp.KDRestoreInfo(o.file.c_str(), o.newSerial.empty() ? nullptr : o.newSerial.c_str());
    kp.KDDisconnect(true);
    if (r < 0 && !kp.settingsNotInFile.empty()) {
        const std::string meaning =
            "the settings file does not hold " + kp.settingsNotInFile + "; they were not restored";
        return ReportError(r, meaning.c_str());
    }
    if (r < 0) return Fail(r);
    std::printf("restored the settings of the %s from %s\n", info.displayName, o.file.c_str());
    return kExitOk;
}

void PrintFileLines(const std::string& text) {
    korr::ForEachFileLine(text, [](std::string_view line) {
        korr::FileLine kv;
        if (!korr::SplitFileLine(line, &kv)) return true;
        const std::string key(kv.key);
        const bool masked = korr::IsSecretKey(key.c_str()) && !kv.value.empty();
        std::printf("%-16s %.*s\n", (key + ":").c_str(),
                    masked ? 8 : static_cast<int>(kv.value.size()),
                    masked ? "********" : kv.value.data());
        return true;
    });
}

int RunShow(const SettingsOptions& o) {
    std::string text;
    if (int32_t r = korr::ReadWholeFile(o.file.c_str(), &text); r < 0) return Fail(r);
    const int type = korr::InfoFileDeviceType(text.c_str());
    if (type == 0)
        return ReportError(-30, "the file is not a settings file of a known device type");
    // Read as a restore would, so that a file the restore refuses is refused here too.
    korr::Korr_protocol kp(nullptr);
    kp.deviceType = static_cast<uint8_t>(type);
    if (int32_t r = kp.ReadInfoFile(o.file.c_str()); r < 0) return Fail(r);
    const korr::DeviceTypeRow& row = korr::DeviceTypeInfo(type);
    std::printf("%-16s %d %s \"%s\"\n", "device type:", type, row.code, row.displayName);
    PrintFileLines(text);
    return kExitOk;
}

void AddDeviceOptions(CLI::App* sub, SettingsOptions& o, Commands& commands) {
    sub->add_option("--port", o.port, "serial port of the device (ttyUSB0 or a path)")->required();
    AddLogOptions(sub, commands.logOptions);
}

}  // namespace

void RegisterSettingsCommand(CLI::App& app, Commands& commands) {
    CLI::App* settings =
        app.add_subcommand("settings", "Save a device's settings to a file, restore or show them");
    settings->require_subcommand(1);

    auto save = std::make_shared<SettingsOptions>();
    CLI::App* saveSub = settings->add_subcommand("save", "Save the device's settings to FILE");
    AddDeviceOptions(saveSub, *save, commands);
    saveSub->add_option("FILE", save->file, "settings file to write")->required();
    commands.entries.emplace_back(saveSub,
                                  [save, &commands] { return RunSave(*save, commands.log); });

    auto restore = std::make_shared<SettingsOptions>();
    CLI::App* restoreSub =
        settings->add_subcommand("restore", "Write the settings in FILE back to the device");
    AddDeviceOptions(restoreSub, *restore, commands);
    restoreSub->add_option("FILE", restore->file, "settings file to read")->required();
    restoreSub->add_option("--new-serial", restore->newSerial,
                           "give the device this serial number instead of the saved one");
    commands.entries.emplace_back(
        restoreSub, [restore, &commands] { return RunRestore(*restore, commands.log); });

    auto show = std::make_shared<SettingsOptions>();
    CLI::App* showSub = settings->add_subcommand("show", "Print what a settings file holds");
    showSub->add_option("FILE", show->file, "settings file to read")->required();
    commands.entries.emplace_back(showSub, [show] { return RunShow(*show); });
}

}  // namespace korrcli
