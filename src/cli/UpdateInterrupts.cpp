#include "cli/UpdateInterrupts.h"

#include <csignal>

#include "serial/Clock.h"

namespace korrcli {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

void OnInterrupt(int) {
    g_interrupts = g_interrupts + 1;
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

}  // namespace

UpdateInterrupts::UpdateInterrupts(std::function<void()> warn, std::function<void()> stop)
    : warn_(std::move(warn)), stop_(std::move(stop)) {
    g_interrupts = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

UpdateInterrupts::~UpdateInterrupts() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

void UpdateInterrupts::Poll() {
    const int count = g_interrupts;
    while (seen_ < count) {
        ++seen_;
        const uint32_t now = korr::TickMs();
        if (warned_ && now - warnedAt_ <= kSecondInterruptWindowMs) {
            if (!stopped_ && stop_) stop_();
            stopped_ = true;
        } else {
            warned_ = true;
            warnedAt_ = now;
            if (warn_) warn_();
        }
    }
}

}  // namespace korrcli
