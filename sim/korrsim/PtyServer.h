#pragma once
// Serves a simulated line on a pseudo-terminal in real time. The host opens the near side
// like any serial port; the server plays the device on the master. It never sets termios on
// the master (that would change the host's own settings) but reads them to follow the host's
// baud rate, so a host at the wrong rate hears garbage. It keeps a near-side descriptor of its
// own open, so the master neither hangs up nor loses what the host has not read yet.

#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"

namespace korrsim {

class PtyServer {
  public:
    PtyServer(EventLoop& loop, Link& link);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal; false with a reason on failure.
    bool Open(std::string* error);
    // The near side's path, for the host to open.
    const std::string& Path() const { return path_; }

    // Runs the line against the wall clock until `stop` is set or `done` holds.
    void Serve(const volatile std::sig_atomic_t& stop, const std::function<bool()>& done);

    // Whether a host holds the port now (it marks it exclusive while open).
    bool HostHoldsPort() const { return hostOpen_; }
    // Simulated time runs this many times faster than the wall clock (tests that need a whole
    // update on a real port but not its full 70 seconds). 1 is real time.
    void SetTimeScale(double scale) { timeScale_ = scale > 0 ? scale : 1; }

  private:
    TimeUs WallUs() const;
    void FollowHost();
    void TakeHostBytes();
    void FlushToHost();

    EventLoop& loop_;
    Link& link_;
    int master_ = -1;
    int near_ = -1;
    std::string path_;
    int64_t startNs_ = 0;
    double timeScale_ = 1;
    bool hostOpen_ = false;
    std::deque<uint8_t> toHost_;
};

// The termios speed's rate in baud, 0 when unknown.
uint32_t SpeedToBaud(unsigned speed);

}  // namespace korrsim
