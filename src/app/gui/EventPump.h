#pragma once
// The clock seam's event pump for the window: a long pause (DelayMs of 170 ms or more) runs
// the Qt event loop instead of sleeping, so the window repaints and takes menu commands and
// the close box while the protocol waits.

#include <cstdint>

namespace korrgui {

// Waits up to maxMs while handling the window's events; 0 handles what is pending and returns.
void PumpQtEvents(uint32_t maxMs);

// Installs PumpQtEvents as the process's event pump for its lifetime.
class QtEventPump {
  public:
    QtEventPump();
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;
};

}  // namespace korrgui
