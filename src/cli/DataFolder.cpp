#include "cli/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "device/DeviceTypes.h"
#include "firmware/BuiltinImage.h"

namespace korrcli {

namespace fs = std::filesystem;

namespace {

// The product this build serves.
int ProductType() {
    return korr::kDeviceTypeQS7;
}

fs::path ProgramFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : self.parent_path();
}

}  // namespace

std::string DataFolder() {
    fs::path base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (home != nullptr && home[0] != '\0') {
        base = fs::path(home) / ".local" / "share";
    } else {
        return ProgramFolder().string();
    }
    fs::path folder = base / "Korrin" / "KorrBSL";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) return ProgramFolder().string();
    return folder.string();
}

std::string ProductCaption() {
    return std::string(korr::DeviceTypeInfo(ProductType()).displayName) + " Firmware Updater";
}

std::string ErrorLogPath() {
    return (fs::path(DataFolder()) / (ProductCaption() + ".errors.txt")).string();
}

}  // namespace korrcli
