#include "cli/PortsCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/ErrorText.h"
#include "cli/PortAccess.h"
#include "serial/CommPortEnum.h"

namespace korrcli {

namespace {

const char* ListErrorText(int32_t code) {
    switch (code) {
        case -10:
            return "no list to fill";
        case -11:
            return "the list has no room";
        case -60:
            return "out of memory";
        default:
            return "the port list could not be read";
    }
}

constexpr const char* kNameHeading = "PORT";

// A port this user may not open says so, with the group that would let him.
std::string PermissionMark(const char* name) {
    const int error = TryPort(name);
    if (error != EACCES && error != EPERM) return "";
    const std::string group = PortOwningGroup(name);
    return group.empty() ? "  (no permission)" : "  (no permission: group \"" + group + "\")";
}

}  // namespace

int PrintPortList(std::FILE* out, bool findAll, korr::KorrLog* log) {
    korr::KorrSerial enumerator(log);
    korr::CommPortInfo ports[korr::kCommPortListSize];
    int32_t count = korr::kCommPortListSize;
    int32_t result = korr::CommPortEnum(enumerator, ports, &count, findAll);
    if (result < 0) return ReportError(result, ListErrorText(result));
    if (count == 0) {
        std::fputs("No Comm Ports Found\n", out);
        return kExitOk;
    }
    int width = static_cast<int>(std::strlen(kNameHeading));
    for (int32_t i = 0; i < count; ++i) {
        int len = static_cast<int>(std::strlen(ports[i].name));
        if (len > width) width = len;
    }
    std::fprintf(out, "%-*s  %s\n", width, kNameHeading, "DESCRIPTION");
    for (int32_t i = 0; i < count; ++i) {
        std::fprintf(out, "%-*s  %s%s\n", width, ports[i].name, ports[i].description,
                     PermissionMark(ports[i].name).c_str());
    }
    return kExitOk;
}

void RegisterPortsCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub =
        app.add_subcommand("ports", "List the serial ports, as the port list shows them");
    auto findAll = std::make_shared<bool>(false);
    sub->add_flag("--all", *findAll, "Also try the usual serial ports the system did not report");
    AddLogOptions(sub, commands.logOptions);
    commands.entries.emplace_back(
        sub, [findAll, &commands] { return PrintPortList(stdout, *findAll, commands.log.Log()); });
}

}  // namespace korrcli
