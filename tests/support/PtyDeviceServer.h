#pragma once
// A simulated device on the far side of a pseudo-terminal pair of the test's own, in real
// time: a program under test opens the near side by path and talks to the device model as it
// would to a real one. The models run on the server's thread only.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "support/PtyPair.h"

namespace korrtest {

class PtyDeviceServer {
  public:
    PtyDeviceServer() : link_(loop_, 1) {
        link_.SetHostSink([this](uint8_t byte) { toHost_.push_back(static_cast<char>(byte)); });
    }
    ~PtyDeviceServer() { Stop(); }
    PtyDeviceServer(const PtyDeviceServer&) = delete;
    PtyDeviceServer& operator=(const PtyDeviceServer&) = delete;

    bool Ok() const { return pty_.Ok(); }
    const std::string& Path() const { return pty_.NearPath(); }

    // Makes a device model on the line (before Start); the line is its first argument.
    template <class Model, class... Args>
    Model& Attach(Args&&... args) {
        auto model = std::make_unique<Model>(link_, std::forward<Args>(args)...);
        Model& ref = *model;
        link_.AttachDevice(&ref);
        devices_.push_back(std::move(model));
        return ref;
    }

    void Start() {
        stop_ = false;
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

  private:
    void Run() {
        // The line's time goes on from where the last run stopped, so a restarted server does
        // not stand still until real time catches up with it.
        const auto start = std::chrono::steady_clock::now();
        const korrsim::TimeUs resumeAt = loop_.Now();
        char buffer[256];
        while (!stop_) {
            pollfd p{.fd = pty_.Master(), .events = POLLIN, .revents = 0};
            const bool ready = ::poll(&p, 1, 2) > 0 && (p.revents & POLLIN);
            const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - start);
            loop_.RunUntil(resumeAt + static_cast<korrsim::TimeUs>(now.count()));
            if (ready) {
                ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
                if (n > 0)
                    link_.HostWrite(reinterpret_cast<uint8_t*>(buffer), static_cast<size_t>(n));
            } else if (p.revents & POLLHUP) {
                // Nobody has the near side open yet (or any more).
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            if (!toHost_.empty()) {
                if (::write(pty_.Master(), toHost_.data(), toHost_.size()) < 0) {
                    // The near side went away; what it did not read is lost, as on a cable.
                }
                toHost_.clear();
            }
        }
    }

    PtyPair pty_;
    korrsim::EventLoop loop_;
    korrsim::Link link_;
    std::string toHost_;
    std::vector<std::unique_ptr<korrsim::Device>> devices_;
    std::atomic<bool> stop_{true};
    std::thread thread_;
};

}  // namespace korrtest
