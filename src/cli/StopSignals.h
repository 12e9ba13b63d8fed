#pragma once
// The requests to stop that reach a running command from outside: an interrupt from the
// terminal (Ctrl-C) and a request to end (SIGTERM, SIGHUP: a script's time-out, a closed
// terminal). Only counted here; what a stop means is the command's business. The POSIX
// implementation is StopSignalsPosix.cpp; another platform gives its own beside it.

namespace korrcli {

struct StopRequests {
    int interrupts = 0;    // from the terminal
    int terminations = 0;  // asked to end
};

class StopSignals {
  public:
    // With `secondEnds`, a second request of the same kind ends the program the usual way.
    explicit StopSignals(bool secondEnds = false);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The requests that arrived since the last call.
    StopRequests Take();
    // Whether any request arrived since the guard was made.
    bool Any() const;
};

}  // namespace korrcli
