#include "cli/ErrorText.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/Commands.h"
#include "serial/PosixPort.h"

namespace korrcli {

namespace {

struct PortErrorRow {
    int errnoCode;
    const char* text;  // follows the port's name
};

constexpr PortErrorRow kPortErrors[] = {
    {.errnoCode = EBUSY, .text = " is already in use by another program"},
    {.errnoCode = EWOULDBLOCK, .text = " is already in use by another program"},
    {.errnoCode = ENOENT, .text = " isn't available (is the instrument's cable plugged in?)"},
    {.errnoCode = ENODEV, .text = " isn't available (is the instrument's cable plugged in?)"},
    {.errnoCode = ENXIO, .text = " isn't available (is the instrument's cable plugged in?)"},
    {.errnoCode = EIO, .text = " isn't available (no serial port behind this name)"},
    {.errnoCode = ENOTTY, .text = " is not a serial port"},
    {.errnoCode = EISDIR, .text = " is not a serial port"},
    {.errnoCode = ENOTDIR, .text = " isn't available (no such port)"},
};

}  // namespace

std::string PortOwningGroup(const std::string& port) {
    struct stat node {};
    if (::stat(korr::SystemPortPath(port.c_str()).c_str(), &node) != 0) return "";
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(node.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return "";
    }
    return found->gr_name;
}

namespace {

std::string PermissionText(const std::string& port) {
    const std::string group = PortOwningGroup(port);
    if (group.empty() || group == "root") {
        return "no permission to open " + port + ": ask the administrator for access to it";
    }
    return "no permission to open " + port + ": the port belongs to the group \"" + group +
           "\"; join it with \"sudo usermod -aG " + group + " $USER\", then log out and in again";
}

}  // namespace

int ReportError(int32_t code, const char* meaning) {
    std::fprintf(stderr, "error %d: %s\n", code, meaning);
    return kExitFailed;
}

int ReportFailure(const std::string& text) {
    std::fprintf(stderr, "error: %s\n", text.c_str());
    return kExitFailed;
}

int ReportUsageError(const char* command, const std::string& what) {
    std::fprintf(stderr, "korrbsl %s: %s (see korrbsl %s --help)\n", command, what.c_str(),
                 command);
    return kExitUsage;
}

std::string PortErrorText(const std::string& port, int errnoCode) {
    if (errnoCode == EACCES || errnoCode == EPERM) return PermissionText(port);
    for (const PortErrorRow& row : kPortErrors) {
        if (row.errnoCode == errnoCode) return port + row.text;
    }
    return port + ": " + std::strerror(errnoCode);
}

std::string FileErrorText(const std::string& file, int errnoCode, bool writing) {
    return std::string("cannot ") + (writing ? "write " : "read ") + file + ": " +
           std::strerror(errnoCode);
}

const char* CodeMeaning(std::span<const CodeText> table, int32_t code, const char* otherwise) {
    for (const CodeText& row : table) {
        if (row.code == code) return row.text;
    }
    return otherwise;
}

const char* SystemErrorMeaning(int32_t code) {
    if (code < 0 && code > -4096) return std::strerror(-code);
    return "unexpected error";
}

}  // namespace korrcli
