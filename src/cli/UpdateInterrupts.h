#pragma once
// Ctrl-C (and SIGTERM, SIGHUP) while korrbsl update runs. Stopping in the middle of an update
// can leave an instrument without firmware, so the first interrupt only warns, as the window's
// close box does; a second one within a few seconds lets the loader stop at its next step,
// where the instrument is left in its loader and a new update can finish the job.

#include <cstdint>
#include <functional>

namespace korrcli {

inline constexpr uint32_t kSecondInterruptWindowMs = 5000;

class UpdateInterrupts {
  public:
    // warn: the first interrupt (shows "Don't Quit Now!"); stop: the second one.
    UpdateInterrupts(std::function<void()> warn, std::function<void()> stop);
    ~UpdateInterrupts();
    UpdateInterrupts(const UpdateInterrupts&) = delete;
    UpdateInterrupts& operator=(const UpdateInterrupts&) = delete;

    // Acts on the interrupts that arrived since the last call.
    void Poll();
    bool Stopped() const { return stopped_; }

  private:
    std::function<void()> warn_;
    std::function<void()> stop_;
    int seen_ = 0;
    uint32_t warnedAt_ = 0;
    bool warned_ = false;
    bool stopped_ = false;
};

}  // namespace korrcli
