// The checks an update makes before its first erase, run on their own: the dry run ends where
// the loader would start, with the instrument running its firmware as before.
#include "app/SettingsFiles.h"
#include "app/UpdateSession.h"

namespace korr {

int32_t UpdateSession::EndDryRun() {
    dryRun_.image = host_.image.name;
    dryRun_.settingsFile = state_.settingsFilePath;
    if (dryRun_.loaderListening) {
        dryRun_.keptFileMissing =
            deviceInfo_.saveRestore != 0 && !FileExists(state_.settingsFilePath);
        return 1;
    }
    dryRun_.found = deviceInfo_.versionText;
    protocol_.KDDisconnect(true);
    return 1;
}

void UpdateSession::FinishDryRun() {
    SetProgress(100);
    ui_.SetText(Control::statusText, "Dry run: a real update would go ahead.");
    ui_.ProcessPendingEvents();
    log_->Print(LOG_ERROR, kHostTag, "Dry run: %s",
                DryRunVerdict(dryRun_, state_.productName).c_str());
    ui_.SetText(Control::lblConnect, "You may disconnect your " + state_.productName + " now.");
}

}  // namespace korr
