#include "cli/CommandLog.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/DataFolder.h"

namespace korrcli {

namespace {

// 0 when lines can be appended to the file (creating it if needed), else the errno.
int WritableError(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) return EISDIR;
    if (fs::exists(path, ec)) return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, ec)) return ENOENT;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

void AddLogOptions(CLI::App* command, LogOptions& options) {
    command->add_option("--log", options.file,
                        "write the log to this file instead of " + ErrorLogPathForHelp());
    command->add_flag("-v,--verbose", options.verbose, "verbose log, also shown on stderr");
    command->footer(LogHelpFooter());
}

std::string LogHelpFooter() {
    return "Log: " + ErrorLogPathForHelp() +
           " (--log FILE writes elsewhere, -v adds protocol detail). Its path is printed "
           "after every failure.";
}

void CommandLog::Open(const LogOptions& options) {
    path_ = options.file.empty() ? ErrorLogPath() : options.file;
    log_ = std::make_unique<korr::KorrLog>(path_.c_str(),
                                           options.verbose ? korr::LOG_VERBOSE : korr::LOG_ERROR);
    if (options.verbose) {
        log_->SetMirror(
            [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    }
    if (const int error = WritableError(path_)) {
        std::fprintf(stderr, "korrbsl: warning: cannot write the log %s: %s; going on without it\n",
                     path_.c_str(), std::strerror(error));
    }
}

void CommandLog::ConcernPort(const std::string& port, bool simulated) {
    if (!log_) return;
    log_->SetContext(simulated ? port + ", simulated" : port);
    log_->StampWithSystemTime(simulated);
}

void CommandLog::PointToLog() const {
    if (!path_.empty()) std::fprintf(stderr, "The log is in %s\n", path_.c_str());
}

}  // namespace korrcli
