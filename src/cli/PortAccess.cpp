#include "cli/PortAccess.h"

#include <sys/stat.h>

#include <cerrno>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "serial/PosixPort.h"

namespace korrcli {

int TryPort(const std::string& port) {
    struct stat node {};
    if (::stat(korr::SystemPortPath(port.c_str()).c_str(), &node) != 0) return errno;
    if (!S_ISCHR(node.st_mode)) return ENOTTY;
    return -korr::ProbePortLock(port.c_str());
}

int CheckPort(const char* command, const std::string& port, korr::KorrLog* log) {
    if (port.empty()) return ReportUsageError(command, "the port name is empty");
    const int error = TryPort(port);
    if (error == 0) return kExitOk;
    const std::string text = PortErrorText(port, error);
    if (log != nullptr) {
        log->Print(korr::LOG_ERROR, port.c_str(), "Opening the port failed with error %d: %s",
                   -error, text.c_str());
    }
    return ReportFailure(text);
}

}  // namespace korrcli
