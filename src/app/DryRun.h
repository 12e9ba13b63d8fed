#pragma once
// What a dry run found: every check an update makes before its first erase passed, and what a
// real update would then do with the instrument and its settings.

#include <string>

namespace korr {

struct DryRunFindings {
    std::string found;  // the firmware that answered ("QS7 3.55"); empty when the loader did
    std::string image;  // the image a real update would program
    bool loaderListening = false;  // an earlier update stopped in the loader
    bool settingsChecked = false;  // read twice, agreed, and written to a file
    bool withoutSettings = false;  // the settings could not be read and the person went on
    bool leftFileUsed = false;     // a left settings file is this instrument's
    bool leftFileAside = false;    // a left settings file would be moved aside first
    bool keptFileMissing = false;  // the loader answers and no settings file is kept
    std::string settingsFile;
};

// One sentence, without the final full stop: "a real update would go ahead: ...".
std::string DryRunVerdict(const DryRunFindings& findings, const std::string& product);

}  // namespace korr
