#pragma once
// What the updater knows between and during updates: the product it serves, the modes and
// toggles, the chosen port, its files, whether an update runs, and the progress constants.
// One per session (window or command); nothing here is process-wide.

#include <cstdint>
#include <string>
#include <vector>

#include "device/DeviceTypes.h"
#include "serial/CommPortEnum.h"

namespace korr {

// This build's product and the version of its built-in image.
inline constexpr int kBuildProductType = kDeviceTypeQS7;
inline constexpr uint32_t kBuiltinFirmwareVersion = 360;

// The upload's progress increment is this divided by the image text's length, so that the
// upload spans about 69 points of the bar.
inline constexpr float kWriteProgressSpan = 35328.0f;
inline constexpr float kBuiltinWriteIncrement = 0.5897633f;  // 35328 / 59902
inline constexpr int kEraseProgressStep = 1;
inline constexpr size_t kNewSerialNumberMax = 15;

// What an update does with a settings file that an unfinished update left and that nothing ties
// to the instrument now connected.
enum class LeftSettingsChoice {
    Ask,        // the person decides (the window, a terminal)
    KeepAside,  // keep the file aside and save this instrument's own (no one to ask)
    Restore,    // restore it: asked for on purpose
};

struct AppState {
    std::string productName;  // display name of the product being updated
    std::string caption;      // the build's product + " Firmware Updater"; never retargeted
    bool factoryMode = false;
    bool repMode = false;
    bool findAllPorts = false;
    bool verboseLog = false;
    bool replaceSerialNumber = false;
    std::string newSerialNumber;  // the newSNstr text
    bool dontEraseData = false;
    LeftSettingsChoice leftSettingsChoice = LeftSettingsChoice::Ask;
    bool dryRun = false;  // stop before the loader starts
    std::string portName;
    int selectedPort = 0;
    std::vector<CommPortInfo> portList;
    std::string dataFolder;
    std::string errorLogPath;
    std::string settingsFilePath;
    bool updateRunning = false;
    bool continueFlag = true;
    uint32_t updaterFirmwareVersion = kBuiltinFirmwareVersion;
    int eraseProgressStep = kEraseProgressStep;
    float writeProgressIncrement = kBuiltinWriteIncrement;
    float writeProgressPosition = 0;
    int progressPosition = 0;  // the status bar
};

// How a session starts: what the command line and the stored settings said.
struct AppSetup {
    int productType = kBuildProductType;
    std::string dataFolder;  // where the log and settings files go (the front end picks it)
    bool factoryMode = false;
    bool repMode = false;
    bool verboseLog = false;
    bool findAllPorts = false;
    std::string portName;
};

// "-factory" sets factory and rep mode, "-rep" rep mode; compared whole and case-sensitively,
// anything else is ignored.
void ApplySwitches(const std::vector<std::string>& arguments, AppSetup* setup);

// The state at start-up: product texts, modes, files and progress constants.
AppState InitialState(const AppSetup& setup);

// The settings file of the instrument on the chosen port: data folder + product + "." + port +
// ".settings.txt" (data folder + product + ".settings.txt" without a port).
std::string SettingsFilePath(const AppState& state);
// The text that names the chosen port in messages: its list entry, else its name.
std::string PortText(const AppState& state);
// 35328 / the image text's length (the length taken as unsigned); 0 for an empty image.
float WriteIncrementFor(uint32_t textLength);

}  // namespace korr
