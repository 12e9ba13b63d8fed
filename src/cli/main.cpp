// korrbsl: the command-line front end of the firmware updater.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/CommandLog.h"
#include "cli/Commands.h"
#include "cli/Version.h"

int main(int argc, char** argv) {
    CLI::App app{"korrbsl - firmware updater for Korrin instruments over a serial port"};
    app.name("korrbsl");
    app.set_version_flag("--version", std::string("korrbsl ") + korrcli::kVersion);
    app.require_subcommand(0, 1);
    app.footer(korrcli::LogHelpFooter());

    korrcli::Commands commands;
    korrcli::RegisterCommands(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
        // Usage errors: one line, status 2.
        std::fprintf(stderr, "korrbsl: %s (see korrbsl --help)\n", e.what());
        return 2;
    }
    return korrcli::RunSelected(app, commands);
}
