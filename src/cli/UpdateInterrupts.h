#pragma once
// Stop requests while korrbsl update runs. Stopping in the middle of an update can leave an
// instrument without firmware, so the first Ctrl-C only warns, as the window's close box does,
// and a second one within a few seconds stops the update at the next point where stopping is
// safe. SIGTERM and SIGHUP (a script's time-out, a closed terminal) stop it there at once.

#include <cstdint>
#include <functional>

#include "cli/StopSignals.h"

namespace korrcli {

inline constexpr uint32_t kSecondInterruptWindowMs = 5000;

class UpdateInterrupts {
  public:
    // warn: the first Ctrl-C; stop: a second one, or a request to end (`asked` true).
    UpdateInterrupts(std::function<void()> warn, std::function<void(bool asked)> stop);
    UpdateInterrupts(const UpdateInterrupts&) = delete;
    UpdateInterrupts& operator=(const UpdateInterrupts&) = delete;

    // Acts on the requests that arrived since the last call.
    void Poll();
    bool Stopped() const { return stopped_; }

  private:
    void Stop(bool asked);

    StopSignals signals_;
    std::function<void()> warn_;
    std::function<void(bool)> stop_;
    uint32_t warnedAt_ = 0;
    bool warned_ = false;
    bool stopped_ = false;
};

}  // namespace korrcli
