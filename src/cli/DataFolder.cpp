#include "cli/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/AppState.h"
#include "device/DeviceTypes.h"
#include "firmware/BuiltinImage.h"

namespace korrcli {

namespace fs = std::filesystem;

int ProductType() {
    return korr::kDeviceTypeQS7;
}

namespace {

fs::path ProgramFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : self.parent_path();
}

// The folder as the environment names it; empty when neither variable helps.
fs::path NamedDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "Korrin" / "KorrBSL";
    if (home != nullptr && home[0] != '\0') {
        return fs::path(home) / ".local" / "share" / "Korrin" / "KorrBSL";
    }
    return {};
}

std::string LogName() {
    return ProductCaption() + ".errors.txt";
}

}  // namespace

std::string DataFolder() {
    const fs::path folder = NamedDataFolder();
    if (folder.empty()) return ProgramFolder().string();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) return ProgramFolder().string();
    return folder.string();
}

std::string ProductCaption() {
    return std::string(korr::DeviceTypeInfo(ProductType()).displayName) + " Firmware Updater";
}

std::string ErrorLogPath() {
    return (fs::path(DataFolder()) / LogName()).string();
}

std::string KeptUpdateSettingsFile() {
    korr::AppSetup setup;
    setup.dataFolder = DataFolder();
    setup.productType = ProductType();
    const std::string path = korr::SettingsFilePath(korr::InitialState(setup));
    std::error_code ec;
    return fs::is_regular_file(path, ec) ? path : "";
}

std::string ErrorLogPathForHelp() {
    const fs::path folder = NamedDataFolder();
    return ((folder.empty() ? ProgramFolder() : folder) / LogName()).string();
}

}  // namespace korrcli
