#pragma once
// Where a settings file came from, and which files are an instrument's. The origin lines are
// extra keys at the end of the file ("origin-port=\"ttyUSB0\""); the readers of the settings
// ignore them, since a key counts only at the start of its own line.

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace korr {

struct SettingsOrigin {
    std::string type;     // the device type code ("QS7")
    std::string version;  // the firmware version text the instrument reported
    std::string serial;   // empty for types that keep none
    std::string port;     // the port the instrument was on
    std::string time;     // local time of the save, "2026-12-01 09:30:00"
};

// The origin lines, CR LF ended as the rest of the file.
std::string OriginLines(const SettingsOrigin& origin);
// The origin a file records; the serial number falls back to the file's own "sn" line, and
// missing keys (files of older updaters) stay empty.
SettingsOrigin ReadOrigin(std::string_view fileText);
// The file text without its origin lines: what the instrument's settings are.
std::string WithoutOrigin(std::string_view fileText);

// A serial number that tells an instrument apart: not empty and not all zeros (new firmware
// starts with zeros).
bool TellsApart(std::string_view serial);

// Local time as the origin and the file names write it.
std::string LocalTimeText(std::time_t localTime);

// The part of a port name that goes into a file name: its last path part, with every
// character other than a letter, a digit, '-' or '.' made '_' ("/dev/ttyUSB0" -> "ttyUSB0").
std::string PortTag(const std::string& portName);

// The settings file of the instrument on a port: "<product>.<port>.settings.txt".
std::string PortSettingsFileName(const std::string& product, const std::string& portName);
// The one file that updaters before the per-port files used: "<product>.settings.txt".
std::string SharedSettingsFileName(const std::string& product);

// The settings files that unfinished updates of this product left in the folder (per-port
// files and the shared one; files moved aside are not among them), newest first.
std::vector<std::string> LeftSettingsFiles(const std::string& folder, const std::string& product);
// The settings files of this product that updates moved aside, newest first.
std::vector<std::string> AsideSettingsFiles(const std::string& folder, const std::string& product);

}  // namespace korr
