#include "app/AppState.h"

#include <filesystem>

#include "app/SettingsOrigin.h"

namespace korr {

namespace fs = std::filesystem;

void ApplySwitches(const std::vector<std::string>& arguments, AppSetup* setup) {
    for (const std::string& a : arguments) {
        if (a == "-factory") {
            setup->factoryMode = true;
            setup->repMode = true;
        } else if (a == "-rep") {
            setup->repMode = true;
        }
    }
}

AppState InitialState(const AppSetup& setup) {
    AppState s;
    const DeviceTypeRow& row = DeviceTypeInfo(setup.productType);
    s.productName = row.displayName;
    s.caption = s.productName + " Firmware Updater";
    s.factoryMode = setup.factoryMode;
    s.repMode = setup.repMode || setup.factoryMode;
    s.verboseLog = setup.verboseLog;
    s.findAllPorts = setup.findAllPorts;
    s.portName = setup.portName;
    s.dataFolder = setup.dataFolder;
    s.errorLogPath = (fs::path(s.dataFolder) / (s.caption + ".errors.txt")).string();
    s.settingsFilePath = SettingsFilePath(s);
    return s;
}

std::string SettingsFilePath(const AppState& state) {
    const std::string name = state.portName.empty()
                                 ? SharedSettingsFileName(state.productName)
                                 : PortSettingsFileName(state.productName, state.portName);
    return (fs::path(state.dataFolder) / name).string();
}

std::string PortText(const AppState& state) {
    if (state.selectedPort >= 0 &&
        static_cast<size_t>(state.selectedPort) < state.portList.size()) {
        return state.portList[static_cast<size_t>(state.selectedPort)].description;
    }
    return state.portName;
}

float WriteIncrementFor(uint32_t textLength) {
    return textLength == 0 ? 0.0f : kWriteProgressSpan / static_cast<float>(textLength);
}

}  // namespace korr
