#pragma once
// Tells the window when a serial device appears or goes: a udev monitor on the tty subsystem,
// read through a socket notifier on the window's thread. Where udev cannot be reached (a
// container without its netlink socket) it stays silent and the list refreshes only when
// opened.

#include <QObject>
#include <functional>
#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace korrgui {

class HotPlugMonitor {
  public:
    HotPlugMonitor(QObject* owner, std::function<void()> onChange);
    ~HotPlugMonitor();
    HotPlugMonitor(const HotPlugMonitor&) = delete;
    HotPlugMonitor& operator=(const HotPlugMonitor&) = delete;

    bool Watching() const { return notifier_ != nullptr; }

  private:
    void Drain();

    std::function<void()> onChange_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace korrgui
