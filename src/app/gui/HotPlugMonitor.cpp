#include "app/gui/HotPlugMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <string_view>

namespace korrgui {

HotPlugMonitor::HotPlugMonitor(QObject* owner, std::function<void()> onChange)
    : onChange_(std::move(onChange)) {
    udev_ = udev_new();
    if (udev_ == nullptr) return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        return;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    if (fd < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, owner, [this] { Drain(); });
}

HotPlugMonitor::~HotPlugMonitor() {
    notifier_.reset();
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    if (udev_ != nullptr) udev_unref(udev_);
}

// One refresh for a burst of events (a USB adapter brings several).
void HotPlugMonitor::Drain() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        if (action != nullptr) {
            const std::string_view a(action);
            changed = changed || a == "add" || a == "remove";
        }
        udev_device_unref(device);
    }
    if (changed && onChange_) onChange_();
}

}  // namespace korrgui
