#pragma once
// Where the updater keeps its files: the error log and the settings files live in the data
// folder, $XDG_DATA_HOME/Korrin/KorrBSL (~/.local/share/Korrin/KorrBSL when it is not set).

#include <string>

namespace korrcli {

// The data folder, created with its parents if missing; the program's own folder when it
// cannot be created.
std::string DataFolder();
// The device type of the product this build serves (the Quorra Series 7).
int ProductType();
// The product's caption: its display name and " Firmware Updater".
std::string ProductCaption();
// The error log: the caption and ".errors.txt" in the data folder.
std::string ErrorLogPath();
// The same path without creating anything, for the help text.
std::string ErrorLogPathForHelp();
// The settings file an interrupted update kept for the instrument it was working on; empty when
// there is none.
std::string KeptUpdateSettingsFile();

}  // namespace korrcli
