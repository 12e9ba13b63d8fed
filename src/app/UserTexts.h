#pragma once
// Every text the updater shows a person, as data: a title, a kind and a template whose
// {caption}, {product}, {port}, {device}, {version}, {error}, {file}, {path}, {detail} and {time}
// are filled in when the box is shown.

#include <cstdint>
#include <string>

#include "app/UserInterface.h"

namespace korr {

enum class Box {
    PortInUse,
    PortNotAvailable,
    PortNoPermission,
    NoAnswer,
    UnsupportedKnown,
    UnsupportedUnknown,
    LoginFailure,
    WrongDevice,
    TooOld,
    NewerFirmware,
    BatteryLow,
    SettingsRetrieve,
    SettingsSave,
    SettingsMoveFailed,
    SettingsMovedAside,
    SettingsIncomplete,
    LeftSettingsQuestion,
    LeftSettingsLoaderQuestion,
    LeftSettingsNotRestored,
    SettingsFileBusy,
    SerialNumberRefused,
    LoaderMissing,
    LoaderSilent,
    InfoEraseError,
    FlashEraseError,
    UploadError,
    ReconnectError,
    FirmwareCorrupt,
    RestoreNoFile,
    RestoreUnreadable,
    RestorePartial,
    RestoreFailed,
    DataEraseChip,
    DataEraseFailed,
    DontQuit,
    DontQuitTerminal,
    UpdateStopped,
    EraseWarning,
    Help,
    About,
    LaunchOutOfMemory,
    LaunchCorruptImage,
    LaunchOther,
    FileNotFirmware,
    FileNotFirmwareAt,
    FileOutOfMemory,
    FileOpenFailed,
    FileNameError,
    DumpFailed,
    ImageDoesNotFit,
    BusyUpdating,
    CalibrateThermion,
    CalibrateCZ40,
    CalibrateStomazor,
};

struct BoxText {
    Box box;
    const char* title;
    MessageKind kind;
    const char* text;
};

// What a template's fields are filled with.
struct TextArgs {
    std::string caption = {};
    std::string product = {};
    std::string port = {};
    std::string device = {};
    std::string file = {};
    std::string path = {};
    std::string version = {};
    std::string detail = {};  // what exactly is wrong, where a box says it
    int32_t error = 0;
    std::string time = {};  // when a settings file was saved
};

const BoxText& FindBox(Box box);
// The template with its fields filled in.
std::string ExpandText(const char* text, const TextArgs& args);
std::string BoxTitle(Box box, const TextArgs& args);
std::string BoxBody(Box box, const TextArgs& args);

// Added to the Wrong Device text in factory mode.
inline constexpr const char* kFactoryOverride =
    "\n\n[Factory Mode Override: Click OK to load FW anyway]";
// Added to a restore failure box when the settings file is kept.
inline constexpr const char* kSettingsKeptNote =
    "\n\nThe settings file is kept in\n\"{path}\".\n"
    "The command \"korrbsl settings restore\" puts its settings back.";

// The Help text; the warning paragraph only for products whose update erases data.
std::string HelpText(const TextArgs& args, bool warnBeforeErase);
// The start-up error text for a loader engine construction status.
Box LaunchErrorBox(int32_t status);
// The calibration reminder of a device type; false for types without one.
bool CalibrationBox(int deviceType, Box* box);

// The program's version as the About box shows it, and the protocol version.
inline constexpr const char* kProtocolVersion = "1.7.5";

}  // namespace korr
