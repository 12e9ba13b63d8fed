#include "cli/Commands.h"

#include <cstdio>

#include "cli/FlashCommand.h"
#include "cli/IdentifyCommand.h"
#include "cli/ImageCommand.h"
#include "cli/PortsCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SensorCommand.h"
#include "cli/UpdateCommand.h"

namespace korrcli {

void RegisterCommands(CLI::App& app, Commands& commands) {
    // Subcommands register here.
    RegisterPortsCommand(app, commands);
    RegisterFlashCommand(app, commands);
    RegisterImageCommand(app, commands);
    RegisterIdentifyCommand(app, commands);
    RegisterSettingsCommand(app, commands);
    RegisterSensorCommand(app, commands);
    RegisterUpdateCommand(app, commands);
}

int RunSelected(CLI::App& app, Commands& commands) {
    for (auto& [sub, run] : commands.entries) {
        if (!sub->parsed()) continue;
        commands.log.Open(commands.logOptions);
        const int status = run();
        if (status == kExitFailed) commands.log.PointToLog();
        return status;
    }
    std::fputs(app.help().c_str(), stdout);
    return kExitOk;
}

}  // namespace korrcli
