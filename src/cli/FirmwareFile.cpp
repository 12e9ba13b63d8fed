#include "cli/FirmwareFile.h"

#include "app/ImageTexts.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "firmware/TIText.h"

namespace korrcli {

int LoadFirmwareFile(korr::KorrBSLHost& host, const std::string& path) {
    korr::TITextStop stop;
    const int32_t r = host.BSLLoadTIFile(path.c_str(), &stop);
    if (r == 1) return kExitOk;
    if (r == korr::kNotTIText) {
        if (stop.line == 0) return ReportFailure(path + " is not a valid TI-Text firmware file");
        return ReportFailure(path +
                             " is not a valid TI-Text firmware file: reading stopped at line " +
                             std::to_string(stop.line) + ": " + korr::TITextStopText(stop));
    }
    if (r == korr::kImageNoMemory) return ReportFailure("out of memory reading " + path);
    if (r < 0 && r > -4096) return ReportFailure(FileErrorText(path, -r, false));
    return ReportError(r, "the firmware file could not be read");
}

}  // namespace korrcli
