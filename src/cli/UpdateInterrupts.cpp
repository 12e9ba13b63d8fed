#include "cli/UpdateInterrupts.h"

#include "serial/Clock.h"

namespace korrcli {

UpdateInterrupts::UpdateInterrupts(std::function<void()> warn,
                                   std::function<void(bool asked)> stop)
    : warn_(std::move(warn)), stop_(std::move(stop)) {}

void UpdateInterrupts::Stop(bool asked) {
    if (!stopped_ && stop_) stop_(asked);
    stopped_ = true;
}

void UpdateInterrupts::Poll() {
    const StopRequests requests = signals_.Take();
    if (requests.terminations > 0) Stop(true);
    for (int i = 0; i < requests.interrupts; ++i) {
        const uint32_t now = korr::TickMs();
        if (warned_ && now - warnedAt_ <= kSecondInterruptWindowMs) {
            Stop(false);
        } else if (!stopped_) {
            warned_ = true;
            warnedAt_ = now;
            if (warn_) warn_();
        }
    }
}

}  // namespace korrcli
