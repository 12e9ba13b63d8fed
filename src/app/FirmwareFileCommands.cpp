// File menu: open a TI-Text firmware file in place of the built-in image, and save the image.
#include <filesystem>

#include "app/ImageTexts.h"
#include "app/UpdateSession.h"
#include "firmware/TIText.h"

namespace korr {

namespace {

Box LoadFailureBox(int32_t result, const TITextStop& stop) {
    if (result == kNotTIText) {
        return stop.fault == TITextFault::NotTIText ? Box::FileNotFirmware : Box::FileNotFirmwareAt;
    }
    if (result == -60) return Box::FileOutOfMemory;
    return Box::FileOpenFailed;
}

// The name without its folder; both separators count, as in names typed on any system.
std::string ShortName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool UpdateSession::RefuseWhileUpdating() {
    if (!state_.updateRunning) return false;
    log_->Print(LOG_ERROR, kHostTag, "Firmware file command refused while an update runs");
    Show(Box::BusyUpdating);
    return true;
}

int32_t UpdateSession::OpenFirmwareFile(const std::string& path) {
    if (RefuseWhileUpdating()) return kUpdateCancelled;
    TextArgs a = Args();
    a.file = ShortName(path);
    TITextStop stop;
    const int32_t r = host_.BSLLoadTIFile(path.c_str(), &stop);
    if (r < 0) {
        a.error = r;
        if (r == kNotTIText)
            a.detail = "line " + std::to_string(stop.line) + ": " + TITextStopText(stop);
        Show(LoadFailureBox(r, stop), a);
        return r;
    }
    FirmwareImage& image = host_.image;
    if (image.type == kDeviceTypeUnknown) {
        image.type = static_cast<uint8_t>(productType_);
        a.device = DeviceTypeInfo(productType_).displayName;
        Show(Box::FileNameError, a);
    } else {
        const std::string name = DeviceTypeInfo(image.type).displayName;
        ui_.SetText(Control::userText2, image.name);
        ui_.SetText(Control::userText1, "This utility updates " + name + " firmware to");
        ui_.SetText(Control::commLabel, "Connect to " + name + " with Comm Port");
        state_.productName = name;
        ui_.SetText(Control::lblConnect, "Connect " + name + " to computer comm port.");
        state_.updaterFirmwareVersion = static_cast<uint32_t>(image.version);
        state_.settingsFilePath = SettingsFilePath(state_);
    }
    state_.eraseProgressStep = kEraseProgressStep;
    state_.writeProgressIncrement = WriteIncrementFor(image.length);
    ui_.Beep(kBeepAsterisk);
    ui_.SetEnabled(Control::btnStart, true);
    ui_.SetEnabled(Control::UpdateFirmware1, true);
    return r;
}

int32_t UpdateSession::DumpFirmwareImage(const std::string& path) {
    if (RefuseWhileUpdating()) return kUpdateCancelled;
    const int32_t r = host_.BSLWriteTIFile(path.c_str());
    if (r < 0) ShowError(Box::DumpFailed, r);
    return r;
}

}  // namespace korr
