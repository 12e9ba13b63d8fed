#include "host/SimPort.h"

#include <cerrno>
#include <cstring>

#include "host/SimClock.h"
#include "serial/Clock.h"

namespace korrsim {

namespace {
constexpr TimeUs kReadTimeoutUs = 100 * kUsPerMs;
long g_nextHandle = 100;
}  // namespace

bool SimSupportsBaud(uint32_t baud) {
    switch (baud) {
        case 1200:
        case 2400:
        case 4800:
        case 9600:
        case 19200:
        case 38400:
        case 57600:
        case 115200:
        case 230400:
        case 460800:
        case 921600:
            return true;
        default:
            return false;
    }
}

void SimClock::DelayMs(uint32_t ms) {
    SleepMs(ms);
    if (ms >= korr::kResponsiveDelayMs) {
        const korr::EventPump pump = korr::CurrentEventPump();  // a handler may replace it
        if (pump) pump(0);
    }
}

SimPort::SimPort(Link& link) : link_(&link), handle_(++g_nextHandle), plugs_(link.Plugs()) {
    link_->HostOpen();
}

SimPort::~SimPort() {
    Close();
}

int32_t SimPort::Alive() const {
    if (link_ == nullptr) return -EBADF;
    if (link_->Unplugged() || link_->Plugs() != plugs_) return -EIO;
    return 0;
}

int32_t SimPort::ApplyBaud(uint32_t baud) {
    if (int32_t err = Alive(); err < 0) return err;
    if (!SimSupportsBaud(baud)) return -EINVAL;
    link_->SetHostBaud(baud);
    return 0;
}

int32_t SimPort::SetDtr(bool on) {
    if (int32_t err = Alive(); err < 0) return err;
    link_->SetHostDtr(on);
    return 0;
}

int32_t SimPort::Read(void* dst, size_t capacity) {
    if (int32_t err = Alive(); err < 0) return err;
    if (capacity == 0) return 0;
    EventLoop& loop = link_->Loop();
    // Returns at once with what has arrived, or when the first byte arrives within 100 ms.
    loop.RunUntil(loop.Now() + kReadTimeoutUs,
                  [this] { return link_->HostAvailable() > 0 || link_->Unplugged(); });
    if (int32_t err = Alive(); err < 0) return err;
    return static_cast<int32_t>(link_->HostRead(static_cast<uint8_t*>(dst), capacity));
}

int32_t SimPort::Write(const void* src, size_t count) {
    if (int32_t err = Alive(); err < 0) return err;
    link_->HostWrite(static_cast<const uint8_t*>(src), count);
    return static_cast<int32_t>(count);
}

int32_t SimPort::DiscardInput() {
    if (int32_t err = Alive(); err < 0) return err;
    link_->HostDiscard();
    return 0;
}

int32_t SimPort::Close() {
    if (link_ == nullptr) return 0;
    link_->HostClose();
    link_ = nullptr;
    return 0;
}

int32_t SimPortRegistry::Open(const char* name, std::unique_ptr<korr::PortLink>& out) {
    auto it = links_.find(name != nullptr ? name : "");
    if (it == links_.end()) return -ENOENT;
    if (it->second->Unplugged()) return -ENOENT;  // the adapter has gone with its cable
    if (it->second->HostIsOpen()) return -EBUSY;
    out = std::make_unique<SimPort>(*it->second);
    return 0;
}

korr::PortOpener SimPortRegistry::Opener() {
    return
        [this](const char* name, std::unique_ptr<korr::PortLink>& out) { return Open(name, out); };
}

}  // namespace korrsim
