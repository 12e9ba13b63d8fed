#pragma once
// Runs a program as a user would and collects what it printed and its exit status.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace korrtest {

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string output;  // stdout and stderr together
};

// The command line goes through the shell: quote arguments that need it.
inline ProcessResult RunProcess(const std::string& commandLine) {
    ProcessResult result;
    std::FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
    int raw = ::pclose(pipe);
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    return result;
}

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''"; else out += c;
    }
    return out + "'";
}

}  // namespace korrtest
