#pragma once
// What the window keeps between runs, and where its files go.

#include <QString>
#include <string>

namespace korrgui {

// "FindAllComms", "VerboseLog" (0 or 1) and "CommPort" of "Korrin Devices, Inc" / "KorrBSL".
struct StoredSettings {
    bool findAllPorts = false;
    bool verboseLog = false;
    std::string commPort;  // empty: no stored port
};

StoredSettings ReadStoredSettings();
void WriteStoredSettings(const StoredSettings& settings);

// $XDG_DATA_HOME/Korrin/KorrBSL, created with its parents; the program's own folder when it
// cannot be made. A simulated instrument's files go to a folder of their own below it, so
// that they are never taken for a real instrument's.
std::string DataFolder(bool simulated);

// The engine version the About box shows: the version of this build.
std::string EngineVersion();

}  // namespace korrgui
