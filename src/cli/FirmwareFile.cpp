#include "cli/FirmwareFile.h"

#include <fstream>
#include <iterator>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "firmware/TIText.h"

namespace korrcli {

namespace {

// The line on which reading the file stopped, 0 when it cannot be told.
uint32_t StopLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string contents{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    return in.bad() ? 0 : korr::TITextStopLine(contents);
}

}  // namespace

int LoadFirmwareFile(korr::KorrBSLHost& host, const std::string& path) {
    const int32_t r = host.BSLLoadTIFile(path.c_str());
    if (r == 1) return kExitOk;
    if (r == korr::kNotTIText) {
        const uint32_t line = StopLine(path);
        if (line == 0) return ReportFailure(path + " is not a valid TI-Text firmware file");
        return ReportFailure(path +
                             " is not a valid TI-Text firmware file: reading stopped at line " +
                             std::to_string(line));
    }
    if (r == korr::kImageNoMemory) return ReportFailure("out of memory reading " + path);
    if (r < 0 && r > -4096) return ReportFailure(FileErrorText(path, -r, false));
    return ReportError(r, "the firmware file could not be read");
}

}  // namespace korrcli
