#pragma once
// The subcommands of korrbsl. Each one registers its options and runs when chosen.

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace korrcli {

// Exit statuses: 0 done, 1 the operation failed, 2 a usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Commands {
    // Each entry: the subcommand and what runs when it was chosen.
    std::vector<std::pair<CLI::App*, std::function<int()>>> entries;
};

void RegisterCommands(CLI::App& app, Commands& commands);
// Runs the chosen subcommand; without one, prints the help.
int RunSelected(CLI::App& app, Commands& commands);

}  // namespace korrcli
