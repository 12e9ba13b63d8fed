#pragma once
// Runs a program (the real korrbsl, srec_cat, ...) as a user would, without a shell, and
// collects its output and exit status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace korrtest {

struct SpawnResult {
    int status = -1;  // exit status; -1 when the program could not run or did not exit
    std::string out;  // with SpawnCombined: stdout and stderr together, as a terminal shows them
    std::string err;
};

namespace detail {

// This process's environment with the "KEY=VALUE" entries of extra added or put in place.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& x : extra) replaced = replaced || x.rfind(key, 0) == 0;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

inline std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

inline SpawnResult Run(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, bool combined) {
    TempDir dir;
    const std::string outPath = dir.File("stdout");
    const std::string errPath = dir.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (combined) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv = Pointers(argStrings);
    const std::vector<std::string> envStrings = EnvironmentWith(env);
    std::vector<char*> envp = Pointers(envStrings);

    SpawnResult result;
    pid_t pid = 0;
    const int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) return result;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = ReadFile(outPath);
    if (!combined) result.err = ReadFile(errPath);
    return result;
}

}  // namespace detail

// env: "KEY=VALUE" entries added to (or replacing those of) this process's environment.
inline SpawnResult Spawn(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}) {
    return detail::Run(program, args, env, false);
}

// Like Spawn, with stderr going where stdout goes: out holds both in the order written.
inline SpawnResult SpawnCombined(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env = {}) {
    return detail::Run(program, args, env, true);
}

}  // namespace korrtest
