#pragma once
// Runs a program (the real korrbsl, srec_cat) and collects its output and exit status.

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
    std::string out;
    std::string err;
};

inline SpawnResult Spawn(const std::string& program, const std::vector<std::string>& args) {
    TempDir dir;
    const std::string outPath = dir.File("stdout");
    const std::string errPath = dir.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    SpawnResult result;
    pid_t pid = 0;
    const int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) return result;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

}  // namespace korrtest
