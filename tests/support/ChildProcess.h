#pragma once
// A program running beside the test (korrsim, or korrbsl to be interrupted): the test reads
// its output as it comes, sends it signals and waits for its end.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/Spawn.h"

namespace korrtest {

class ChildProcess {
  public:
    // argv[0] is the program's path; env adds "KEY=VALUE" entries. With mergeStderr the test
    // reads stderr with stdout, as a terminal shows them.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env = {}, bool mergeStderr = false) {
        const std::vector<std::string> envStrings = detail::EnvironmentWith(env);
        std::vector<char*> args = detail::Pointers(argv);
        std::vector<char*> envp = detail::Pointers(envStrings);
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            if (mergeStderr) ::dup2(fds[1], STDERR_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of output (without its end), "" when none came within timeoutMs.
    std::string ReadLine(int timeoutMs) {
        std::string line;
        pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            char c;
            if (::read(out_, &c, 1) != 1) break;
            output_ += c;
            if (c == '\n') break;
            line += c;
        }
        return line;
    }
    // Reads lines until one holds `part`; false when none did within timeoutMs.
    bool WaitForLine(const std::string& part, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  end - std::chrono::steady_clock::now())
                                                  .count());
            if (ReadLine(left > 0 ? left : 1).find(part) != std::string::npos) return true;
        }
        return false;
    }
    void Signal(int signal) {
        if (pid_ > 0) ::kill(pid_, signal);
    }
    // The exit status once it ended within timeoutMs (the rest of its output is read); -1 when
    // it did not end or was killed by a signal.
    int Wait(int timeoutMs) {
        for (int waited = 0; waited <= timeoutMs; waited += 20) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (!ReadLine(0).empty() || HasMore()) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    // Everything read so far.
    const std::string& Output() const { return output_; }

  private:
    bool HasMore() {
        pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

}  // namespace korrtest
