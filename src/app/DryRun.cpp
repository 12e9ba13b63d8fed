#include "app/DryRun.h"

namespace korr {

std::string DryRunVerdict(const DryRunFindings& f, const std::string& product) {
    std::string text = "a real update would go ahead: ";
    if (f.loaderListening) {
        text +=
            "the firmware loader answers (an earlier update did not finish), so it would "
            "program " +
            f.image + " at once";
        if (f.keptFileMissing) {
            text += "; no settings file is kept, so the " + product +
                    "'s settings would come back as factory values";
        } else {
            text += " and restore the settings from " + f.settingsFile;
        }
        return text;
    }
    text += "the " + product + " runs " + f.found + " and would be updated to " + f.image;
    if (f.leftFileUsed) {
        text += "; its settings would come back from the file an unfinished update left, " +
                f.settingsFile;
    } else if (f.withoutSettings) {
        text += " without its settings, which could not be read";
    } else if (f.settingsChecked) {
        text += "; its settings were read twice, agreed and could be written";
        if (f.leftFileAside) {
            text += " (a settings file of an unfinished update would first be moved aside)";
        }
    }
    return text;
}

}  // namespace korr
