#include "app/UserTexts.h"

#include <cstring>

namespace korr {

namespace {

constexpr const char* kErrorWorking =
    "The {caption} encountered an error working with your {product}.\n\nPlease try again.\n\n"
    "[Error {error}]";

constexpr const char* kContactBlock =
    "Korrin Devices, Inc.\n"
    "1200 Meadow Research Park\n"
    "Pullman, WA 99163, USA\n"
    "Phone: +1 509 555 0140\n"
    "Toll free: +1 800 555 0199\n"
    "Fax: +1 509 555 0141\n"
    "E-mail: support@korrin-devices.example\n"
    "Web: https://www.korrin-devices.example\n";

// clang-format off
constexpr BoxText kBoxes[] = {
    {Box::PortInUse, "Connection Error", MessageKind::Error,
     "Comm Port \"{port}\" is already in use by another application.\n"
     "Please choose a new Comm Port to use or quit the application using this port."},
    {Box::PortNotAvailable, "Connection Error", MessageKind::Error,
     "Comm Port \"{port}\" isn't available.\nPlease choose a new Comm Port to use."},
    {Box::PortNoPermission, "Connection Error", MessageKind::Error,
     "Comm Port \"{port}\" can't be opened: this user may not use it.\n"
     "Ask to be added to the group that owns the port (often \"dialout\"), "
     "then log in again."},
    {Box::NoAnswer, "Connection Error", MessageKind::Error,
     "The {caption} is unable to connect to your {product}\n on Comm Port \"{port}\".\n\n"
     "Please check your serial cable and Comm Port choice."},
    {Box::UnsupportedKnown, "Connection Error", MessageKind::Error,
     "The {caption} does not support your {device}\nrunning version {version}."},
    {Box::UnsupportedUnknown, "Connection Error", MessageKind::Error,
     "The {caption} is unable to connect to your unknown device\n on Comm Port \"{port}\".\n\n"
     "Please check your serial cable and Comm Port choice.\n\n"
     "Please verify the device connected is a \"{product}\" and has a version of\n"
     "firmware that supports updates."},
    {Box::LoginFailure, "Connection Error", MessageKind::Error,
     "The {caption} is unable to log into to your {product}\n on Comm Port \"{port}\".\n\n"
     "Please try again or contact your Korrin representative."},
    {Box::WrongDevice, "Wrong Device", MessageKind::Error,
     "The {caption} expected to find a {product};\nhowever, it found a {device}.\n\n"
     "This updater can not update a {device}."},
    {Box::TooOld, "Firmware Too Old", MessageKind::Error,
     "The firmware in the connected {product}\nis too old.\n\n"
     "This updater can not update this device."},
    {Box::NewerFirmware, "Newer Firmware", MessageKind::Warning,
     "The firmware in your {product}\nis newer than the version in this updater.\n\n"
     "Are you sure you want to load older firmware."},
    {Box::BatteryLow, "Batteries Too Low", MessageKind::Error,
     "The battery power is too low!\n\n"
     "Please replace the batteries before running this updater."},
    {Box::SettingsRetrieve, "Settings Retrieve Error", MessageKind::Warning,
     "The {caption} could not retrieve the settings from your {product}.\n"
     "This can happen when an intrument is new or doesn't have a serial number set yet.\n\n"
     "Click OK to continue loading new firmware.\n"
     "Click CANCEL to try retrieving the settings again."},
    {Box::SettingsSave, "Settings Error", MessageKind::Error,
     "This {caption} could not retrieve the settings from your {product}.\n"
     "Please try again or contact Korrin for help."},
    {Box::SettingsMoveFailed, "Settings Error", MessageKind::Error,
     "The {caption} found the settings file of an update that did not finish:\n\"{path}\"\n"
     "It could not move that file aside, so it will not save new settings over it.\n\n"
     "Please move the file yourself and try again.\n\n[Error {error}]"},
    {Box::SettingsMovedAside, "Settings Kept", MessageKind::Information,
     "An earlier update did not finish and left the settings saved at {time} from the "
     "instrument on {detail}.\n"
     "Those settings may be the only copy of that instrument's own settings, so the {caption}\n"
     "moved the file to\n\"{path}\"\nbefore saving this {product}'s own settings.\n\n"
     "The command \"korrbsl settings restore\" puts its settings back into the instrument "
     "they came from."},
    {Box::SettingsIncomplete, "Settings Incomplete", MessageKind::Warning,
     "The {caption} could not read these settings from your {product}:\n{detail}\n\n"
     "The settings file holds all the others. Loading the new firmware erases the settings "
     "it could not read.\n\n"
     "Click OK to load the new firmware without them.\n"
     "Click CANCEL to stop; nothing has been erased."},
    {Box::LeftSettingsQuestion, "Settings Of Another Update", MessageKind::Warning,
     "An update that did not finish left the settings saved at {time} from the instrument "
     "on {detail}:\n\"{path}\"\n"
     "Nothing shows that they are this {product}'s own.\n\n"
     "Click OK to restore those settings into this {product}.\n"
     "Click CANCEL to keep that file aside and save this {product}'s own settings."},
    {Box::LeftSettingsLoaderQuestion, "Settings Of Another Update", MessageKind::Warning,
     "Your {product} is waiting in its firmware loader, so its settings can only come from a "
     "file that an unfinished update left, and nothing shows which file is its own.\n"
     "The newest was saved at {time} from the instrument on {detail}:\n\"{path}\"\n\n"
     "Click OK to restore those settings into this {product}.\n"
     "Click CANCEL to restore none of them; the files are kept."},
    {Box::LeftSettingsNotRestored, "Settings Not Restored", MessageKind::Warning,
     "Your {product} is waiting in its firmware loader, so its settings can only come from a "
     "file; nothing shows which of the files that unfinished updates left is its own. The "
     "{caption} restores none of them; they are kept in\n\"{path}\".\n\n"
     "The command \"korrbsl settings restore\" puts the right one back."},
    {Box::SettingsFileBusy, "Settings Error", MessageKind::Error,
     "The settings file for the {product} on Comm Port \"{port}\"\n\"{path}\"\n"
     "is in use by another update ({detail}).\n\n"
     "Please let that update finish, or choose another Comm Port."},
    {Box::SerialNumberRefused, "Serial Number Error", MessageKind::Error,
     "The new serial number can not be given to your {product}: {detail}.\n\n"
     "Please type another serial number."},
    {Box::LoaderMissing, "Firmware Loader Error", MessageKind::Error,
     "This {product} does not have a working firmware loader.\n\nPlease contact Korrin for help."},
    {Box::LoaderSilent, "Firmware Loader Error", MessageKind::Error,
     "The {caption} is unable to connect to the firmware loader in your {product}.\n\n"
     "Please try again."},
    {Box::InfoEraseError, "INFO Memory Erase Error", MessageKind::Error, kErrorWorking},
    {Box::FlashEraseError, "Firmware Erase Error", MessageKind::Error, kErrorWorking},
    {Box::UploadError, "Firmware Upload Error", MessageKind::Error, kErrorWorking},
    {Box::ReconnectError, "Connection Error", MessageKind::Error, kErrorWorking},
    {Box::FirmwareCorrupt, "Firmware Error", MessageKind::Error,
     "The new firmware for your {product} is corrupt!\n\nPlease try again or contact Korrin."},
    {Box::RestoreNoFile, "Settings Error", MessageKind::Error,
     "The {caption} couldn't find the settings file for your {product}.\n\n"
     "Please try again or contact Korrin for help."},
    {Box::RestoreUnreadable, "Settings Error", MessageKind::Error,
     "The {caption} failed to read the settings file for your {product}.\n\n"
     "Please try again or contact Korrin for help.\n\nError: {error}"},
    {Box::RestorePartial, "Settings Error", MessageKind::Error,
     "The {caption} failed to restore some of the settings for your {product}.\n\n"
     "Please check the settings after this updater is finished."},
    {Box::RestoreFailed, "Settings Error", MessageKind::Error,
     "The {caption} failed to restore the settings for your {product}.\n\n"
     "Please try again.\n\n[Error {error}]"},
    {Box::DataEraseChip, "Data Erase Error", MessageKind::Error,
     "The {caption} was unable to erase the data in your {product} "
     "because the data storage chip is reporting errors.\n\nPlease contact Korrin for help."},
    {Box::DataEraseFailed, "Data Erase Error", MessageKind::Error,
     "The {caption} was unable to erase the data in your {product}.\nPlease try again.\n"
     "[Error: {error}]"},
    {Box::DontQuit, "Don't Quit Now!", MessageKind::Warning,
     "The {caption} is updating your {product}!\nThis process should NOT be interrupted.\n\n"
     "Your {product} may be unusable or have missing settings\n"
     "until you complete the firmware update process.\n\n"
     "Click OK to continue updating your {product}.\n"},
    {Box::DontQuitTerminal, "Don't Quit Now!", MessageKind::Warning,
     "The {caption} is updating your {product}!\nThis process should NOT be interrupted.\n\n"
     "Your {product} may be unusable or have missing settings\n"
     "until you complete the firmware update process.\n\n"
     "The update goes on. To stop it anyway, interrupt it again (Ctrl-C) within 5 seconds:\n"
     "it then stops at the next point where stopping is safe.\n"},
    {Box::UpdateStopped, "Update Stopped", MessageKind::Warning,
     "The {caption} stopped the update of your {product} as asked."},
    {Box::EraseWarning, "Data Erase Warning", MessageKind::Warning,
     "WARNING: The {caption} will erase all measurment data\n stored in your {product}.\n\n"
     " Please download any data you want to save before continuing."},
    {Box::Help, "Help", MessageKind::Custom, ""},
    {Box::About, "About {product} Firmware Updater", MessageKind::Information,
     "Korrin Universal Firmware Updater for Windows\n\n"
     "KorrBSL Engine version {version}\nCommunication Protocol version 1.7.5\n\n"
     "Copyright (C) Korrin Devices, Inc. All rights reserved."},
    {Box::LaunchOutOfMemory, "Application Launch Error", MessageKind::Error,
     "The {caption} ran out of memory while allocating internal buffers.\n\n"
     "Please restart this application and try again."},
    {Box::LaunchCorruptImage, "Application Launch Error", MessageKind::Error,
     "The internal firware file for this {caption} is corrupt.\n\n"
     "Please restart this application and try again."},
    {Box::LaunchOther, "Application Launch Error", MessageKind::Error,
     "The {caption} got an unexpected error starting up.\n[Error: {error}]\n\n"
     "Please restart this application and try again."},
    {Box::FileNotFirmware, "File Error", MessageKind::Error,
     "The file \"{file}\" is not a valid firmware file.\n"
     "Please choose a new firmware file to open."},
    {Box::FileNotFirmwareAt, "File Error", MessageKind::Error,
     "The file \"{file}\" is not a valid firmware file:\n{detail}.\n"
     "Please choose a new firmware file to open."},
    {Box::FileOutOfMemory, "File Error", MessageKind::Error,
     "The {caption} ran out of memory opening \"{file}\".\n"
     "Please restart this application and try again."},
    {Box::FileOpenFailed, "File Error", MessageKind::Error,
     "The {caption} could not opening \"{file}\".\nPlease try again.\nError {error}"},
    {Box::FileNameError, "File Name Error", MessageKind::Warning,
     "The {caption} could not detirmine the instrument type\nfrom the file name \"{file}\".\n\n"
     "Instrument type set to the default (for this build): \"{device}\"."},
    {Box::DumpFailed, "Error", MessageKind::Warning, "Error saving firmware image: {error}"},
    {Box::ImageDoesNotFit, "Firmware Does Not Fit", MessageKind::Error,
     "The firmware \"{file}\" does not fit your {device}:\n{detail}.\n\n"
     "The {caption} erased nothing. Please choose a firmware file made for the {device}."},
    {Box::BusyUpdating, "Update Running", MessageKind::Warning,
     "The {caption} is updating your {product}.\n"
     "Firmware files can be opened or saved once the update has finished."},
    {Box::CalibrateThermion, "Thermion Calibration", MessageKind::Warning,
     "The calibration of your Thermion is outdated or missing.\n\n"
     "Please contact Korrin or your authorized Korrin representative\n"
     "to have your Thermion calibrated."},
    {Box::CalibrateCZ40, "Please Calibrate Your CZ-40", MessageKind::Warning,
     "Updating the firmware in your Canopia CZ-40 requires you to calibrate\n"
     "the internal sensors using the external sensor as a reference.\n\n"
     "Please see your CZ-40 user manual for probe calibration instructions.\n\n"
     "Please also reset the Daylight Savings setting in your Canopia CZ-40."},
    {Box::CalibrateStomazor, "Please Calibrate Your Stomazor", MessageKind::Warning,
     "Updating the firmware in your Stomazor requires you to calibrate\n"
     "the the sensor head using the Korrin-supplied calibration plate.\n\n"
     "Please see the Stomazor user manual (version 7 or newer) for\n"
     "calibration instructions. The latest user manual is available for download from:\n"
     "https://www.korrin-devices.example/literature"},
};

// The Help text, piece by piece; the warning pieces only where the update erases data.
struct HelpPiece {
    bool warningOnly;
    const char* text;
};

constexpr HelpPiece kHelpPieces[] = {
    {false, "The {caption} replaces the firmware that operates your {product}.\n"},
    {false, "Following the simple steps will help ensure a successful update.\n\n"},
    {true, "WARNING: Updating the firmware in your {product} will erase any stored measurement data.\n"},
    {true, "Please download any measurement data stored in your {product} that you want to save.\n\n"},
    {false, "Before beginning these steps, please make sure your instrument is powered on.\n\n"},
    {false, "Step 1. Connect your {product} to an available serial communication port on your computer.\n\n"},
    {false, "Step 2. Select the correct serial port from the Comm Port control.\n\n"},
    {false, "Step 3. Click the \"Start\" button. The updater shows progress in the Status area.\n\n"},
    {false, "WARNING: Do not disconnect your {product} from the computer while the updater is running.\n"},
    {false, "An incomplete firmware update could leave your {product} unusable.\n\n"},
    {false, "WARNING: Do not quit the {product} Firmware Updater while the updater is running.\n"},
    {false, "An incomplete firmware update could leave your {product} unusable.\n\n"},
    {false, "Step 4. Once the update is complete, you can disconnect your {product} from the computer.\n"},
    {false, "Please verify your {product} configuration is correct. "},
    {false, "Enjoy using the updated firmware version.\n\n"},
    {false, "If you have trouble with this {product} Firmware Updater, Please contact Korrin or\n"},
    {false, "an authorized Korrin Distributor for help:\n\n"},
    {false, kContactBlock},
};

struct LaunchError {
    int32_t status;
    Box box;
};
constexpr LaunchError kLaunchErrors[] = {{-60, Box::LaunchOutOfMemory},
                                         {-101, Box::LaunchCorruptImage}};

struct CalibrationReminder {
    int deviceType;
    Box box;
};
constexpr CalibrationReminder kCalibrationReminders[] = {
    {7, Box::CalibrateThermion}, {8, Box::CalibrateCZ40}, {9, Box::CalibrateStomazor}};
// clang-format on

struct Field {
    const char* name;
    std::string (*value)(const TextArgs&);
};

constexpr Field kFields[] = {
    {"caption", [](const TextArgs& a) { return a.caption; }},
    {"product", [](const TextArgs& a) { return a.product; }},
    {"port", [](const TextArgs& a) { return a.port; }},
    {"device", [](const TextArgs& a) { return a.device; }},
    {"file", [](const TextArgs& a) { return a.file; }},
    {"path", [](const TextArgs& a) { return a.path; }},
    {"version", [](const TextArgs& a) { return a.version; }},
    {"error", [](const TextArgs& a) { return std::to_string(a.error); }},
    {"detail", [](const TextArgs& a) { return a.detail; }},
    {"time", [](const TextArgs& a) { return a.time; }},
};

}  // namespace

const BoxText& FindBox(Box box) {
    for (const BoxText& b : kBoxes) {
        if (b.box == box) return b;
    }
    return kBoxes[0];  // every Box has a row; the table test makes sure of it
}

std::string ExpandText(const char* text, const TextArgs& args) {
    std::string out;
    for (const char* p = text; *p != '\0';) {
        bool replaced = false;
        if (*p == '{') {
            for (const Field& f : kFields) {
                const size_t n = std::strlen(f.name);
                if (std::strncmp(p + 1, f.name, n) == 0 && p[n + 1] == '}') {
                    out += f.value(args);
                    p += n + 2;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += *p++;
    }
    return out;
}

std::string BoxTitle(Box box, const TextArgs& args) {
    return ExpandText(FindBox(box).title, args);
}

std::string BoxBody(Box box, const TextArgs& args) {
    if (box == Box::Help) return HelpText(args, false);
    return ExpandText(FindBox(box).text, args);
}

std::string HelpText(const TextArgs& args, bool warnBeforeErase) {
    std::string out;
    for (const HelpPiece& piece : kHelpPieces) {
        if (piece.warningOnly && !warnBeforeErase) continue;
        out += ExpandText(piece.text, args);
    }
    return out;
}

Box LaunchErrorBox(int32_t status) {
    for (const LaunchError& e : kLaunchErrors) {
        if (e.status == status) return e.box;
    }
    return Box::LaunchOther;
}

bool CalibrationBox(int deviceType, Box* box) {
    for (const CalibrationReminder& c : kCalibrationReminders) {
        if (c.deviceType == deviceType) {
            *box = c.box;
            return true;
        }
    }
    return false;
}

}  // namespace korr
