#pragma once
// The subcommands of korrbsl. Each one registers its options and runs when chosen.

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

#include "cli/CommandLog.h"

namespace korrcli {

// Exit statuses: 0 done, 1 the operation failed, 2 a usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Commands {
    // Each entry: the subcommand and what runs when it was chosen.
    std::vector<std::pair<CLI::App*, std::function<int()>>> entries;
    // --log and -v of whichever subcommand runs (AddLogOptions), and the log they open before
    // it runs; a command writes to log.Log().
    LogOptions logOptions;
    CommandLog log;
};

void RegisterCommands(CLI::App& app, Commands& commands);
// Opens the log and runs the chosen subcommand, pointing to the log when it failed; without a
// subcommand, prints the help.
int RunSelected(CLI::App& app, Commands& commands);

}  // namespace korrcli
