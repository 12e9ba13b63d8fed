#pragma once
// The one log every command writes: the data folder's error log unless --log names another,
// at the verbose level with -v (whose lines are then also shown on stderr). A failed command
// ends by telling where the log is.

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "log/KorrLog.h"

namespace korrcli {

struct LogOptions {
    std::string file;  // empty: the data folder's log
    bool verbose = false;
};

// Adds --log FILE and -v,--verbose to a subcommand; the help names the default log.
void AddLogOptions(CLI::App* command, LogOptions& options);
// The help's closing lines about the log.
std::string LogHelpFooter();

class CommandLog {
  public:
    // Opens the log the options choose. A log that cannot be written is a warning on stderr:
    // the command still runs.
    void Open(const LogOptions& options);
    korr::KorrLog* Log() { return log_.get(); }
    const std::string& Path() const { return path_; }

    // Every line from now on names the port; a simulated run says so and is stamped with the
    // system's date and time, not the simulator's.
    void ConcernPort(const std::string& port, bool simulated);

    // Tells on stderr where the log is; called once a command failed.
    void PointToLog() const;

  private:
    std::unique_ptr<korr::KorrLog> log_;
    std::string path_;
};

}  // namespace korrcli
