#pragma once
// A program running beside the test (korrsim, say) whose standard output the test reads; it is
// killed when the test lets go of it.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace korrtest {

class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
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
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of output, within timeoutMs.
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

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

}  // namespace korrtest
