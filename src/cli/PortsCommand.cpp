#include "cli/PortsCommand.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/ErrorText.h"
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

}  // namespace

int PrintPortList(std::FILE* out, bool findAll) {
    korr::KorrSerial enumerator;  // lends no log here: the command prints what matters
    korr::CommPortInfo ports[korr::kCommPortListSize];
    int32_t count = korr::kCommPortListSize;
    int32_t result = korr::CommPortEnum(enumerator, ports, &count, findAll);
    if (result < 0) return ReportError(result, ListErrorText(result));
    if (count == 0) {
        std::fputs("No Comm Ports Found\n", out);
        return kExitOk;
    }
    int width = 0;
    for (int32_t i = 0; i < count; ++i) {
        int len = static_cast<int>(std::strlen(ports[i].name));
        if (len > width) width = len;
    }
    for (int32_t i = 0; i < count; ++i) {
        std::fprintf(out, "%-*s  %s\n", width, ports[i].name, ports[i].description);
    }
    return kExitOk;
}

void RegisterPortsCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub =
        app.add_subcommand("ports", "List the serial ports, as the port list shows them");
    auto findAll = std::make_shared<bool>(false);
    sub->add_flag("--all", *findAll, "Also try the usual serial ports the system did not report");
    commands.entries.emplace_back(sub, [findAll] { return PrintPortList(stdout, *findAll); });
}

}  // namespace korrcli
