#pragma once
// A program running beside a test (korrsim on its pseudo-terminal), whose standard output the
// test reads; killed when the test is done with it.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace korrtest {

// A child process whose standard output the test reads.
class Child {
  public:
    // With withStderr, the test reads what the program writes to stderr as well.
    explicit Child(const std::vector<std::string>& argv, bool withStderr = false) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            if (withStderr) ::dup2(fds[1], STDERR_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    // The first line of output, within timeoutMs.
    std::string ReadLine(int timeoutMs) {
        std::string line;
        pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            char c;
            if (::read(out_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }
    void Signal(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
    }
    // Everything it writes until it closes its output or timeoutMs pass.
    std::string ReadAll(int timeoutMs) {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
        while (std::chrono::steady_clock::now() < end && ::poll(&p, 1, 100) >= 0) {
            if ((p.revents & (POLLIN | POLLHUP)) == 0) continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }
    // The exit status once it ended by itself within timeoutMs; -1 otherwise.
    int Wait(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// The name the SDI-12 tests know it by.
using ChildProcess = Child;

}  // namespace korrtest
