#pragma once
// A pseudo-terminal pair of the test's own: the host opens the near side by path, the test
// plays the device on the far side (master). The far side never sets termios: on Linux that
// would change the near side's settings.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace korrtest {

class PtyPair {
  public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            char name[128];
            if (ptsname_r(master_, name, sizeof name) == 0) path_ = name;
        }
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !path_.empty(); }
    const std::string& NearPath() const { return path_; }
    int Master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void Send(const std::string& text) const {
        if (::write(master_, text.data(), text.size()) < 0) return;
    }
    // What the host wrote, collected for up to timeoutMs.
    std::string Receive(int timeoutMs) const {
        std::string out;
        pollfd p{.fd = master_, .events = POLLIN, .revents = 0};
        while (::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
            timeoutMs = 20;
        }
        return out;
    }

  private:
    int master_ = -1;
    std::string path_;
};

}  // namespace korrtest
