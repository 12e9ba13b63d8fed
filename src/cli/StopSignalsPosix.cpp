#include <csignal>
#include <iterator>

#include "cli/StopSignals.h"

namespace korrcli {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;
volatile std::sig_atomic_t g_terminations = 0;

void OnSignal(int signal) {
    if (signal == SIGINT) {
        g_interrupts = g_interrupts + 1;
    } else {
        g_terminations = g_terminations + 1;
    }
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kSignals)];
int g_takenInterrupts = 0;
int g_takenTerminations = 0;

}  // namespace

StopSignals::StopSignals(bool secondEnds) {
    g_interrupts = 0;
    g_terminations = 0;
    g_takenInterrupts = 0;
    g_takenTerminations = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = secondEnds ? SA_RESETHAND : 0;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

StopSignals::~StopSignals() {
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

StopRequests StopSignals::Take() {
    const int interrupts = g_interrupts;
    const int terminations = g_terminations;
    StopRequests r{.interrupts = interrupts - g_takenInterrupts,
                   .terminations = terminations - g_takenTerminations};
    g_takenInterrupts = interrupts;
    g_takenTerminations = terminations;
    return r;
}

bool StopSignals::Any() const {
    return g_interrupts != 0 || g_terminations != 0;
}

}  // namespace korrcli
