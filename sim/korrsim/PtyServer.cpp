#include "korrsim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace korrsim {

namespace {

constexpr int kMaxPollMs = 20;         // how often the host's port state is looked at
constexpr size_t kMaxPending = 65536;  // bytes for a host that never reads are dropped

struct SpeedEntry {
    speed_t speed;
    uint32_t baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {.speed = B1200, .baud = 1200},     {.speed = B2400, .baud = 2400},
    {.speed = B4800, .baud = 4800},     {.speed = B9600, .baud = 9600},
    {.speed = B19200, .baud = 19200},   {.speed = B38400, .baud = 38400},
    {.speed = B57600, .baud = 57600},   {.speed = B115200, .baud = 115200},
    {.speed = B230400, .baud = 230400}, {.speed = B460800, .baud = 460800},
    {.speed = B921600, .baud = 921600},
};

int64_t SteadyNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

uint32_t SpeedToBaud(unsigned speed) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.speed == speed) return e.baud;
    }
    return 0;
}

PtyServer::PtyServer(EventLoop& loop, Link& link) : loop_(loop), link_(link) {
    link_.SetHostSink([this](uint8_t byte) {
        if (toHost_.size() >= kMaxPending) toHost_.pop_front();
        toHost_.push_back(byte);
    });
}

PtyServer::~PtyServer() {
    link_.SetHostSink(nullptr);
    if (near_ >= 0) ::close(near_);
    if (master_ >= 0) ::close(master_);
}

bool PtyServer::Open(std::string* error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path_ = name;
    near_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (near_ < 0) {
        *error = "cannot open " + path_ + ": " + std::strerror(errno);
        return false;
    }
    // Until a host sets it up the line is raw, so nothing it sends is echoed or cooked.
    termios t{};
    if (tcgetattr(near_, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(near_, TCSANOW, &t);
    }
    startNs_ = SteadyNs();
    return true;
}

TimeUs PtyServer::WallUs() const {
    return static_cast<TimeUs>(static_cast<double>(SteadyNs() - startNs_) / 1000 * timeScale_);
}

// The host's rate and whether it holds the port, read from its side of the pair.
void PtyServer::FollowHost() {
    termios t{};
    if (tcgetattr(master_, &t) == 0) {
        uint32_t baud = SpeedToBaud(cfgetospeed(&t));
        if (baud != 0) link_.SetHostBaud(baud);
    }
    int exclusive = 0;
    bool open = ::ioctl(near_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    if (open != hostOpen_) {
        hostOpen_ = open;
        if (open) {
            link_.HostOpen();
        } else {
            link_.HostClose();
        }
    }
}

void PtyServer::TakeHostBytes() {
    uint8_t buffer[512];
    for (;;) {
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) return;
        FollowHost();
        loop_.SetNow(WallUs());
        link_.HostWrite(buffer, static_cast<size_t>(n));
    }
}

void PtyServer::FlushToHost() {
    while (!toHost_.empty()) {
        uint8_t buffer[512];
        size_t n = std::min(toHost_.size(), sizeof buffer);
        std::copy_n(toHost_.begin(), n, buffer);
        ssize_t written = ::write(master_, buffer, n);
        if (written <= 0) return;  // the host's input is full: try again later
        toHost_.erase(toHost_.begin(), toHost_.begin() + written);
    }
}

void PtyServer::Serve(const volatile std::sig_atomic_t& stop, const std::function<bool()>& done) {
    while (stop == 0) {
        loop_.SetNow(WallUs());
        loop_.RunUntil(loop_.Now());
        FlushToHost();
        FollowHost();
        if (done && done()) break;

        int timeoutMs = kMaxPollMs;
        if (auto next = loop_.NextEventTime()) {
            const TimeUs now = WallUs();
            TimeUs wait = *next > now ? static_cast<TimeUs>((*next - now) / timeScale_) : 0;
            timeoutMs = static_cast<int>(std::min<TimeUs>((wait + 999) / 1000, kMaxPollMs));
        }
        pollfd p{.fd = master_,
                 .events = static_cast<short>(POLLIN | (toHost_.empty() ? 0 : POLLOUT)),
                 .revents = 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r > 0 && (p.revents & POLLIN)) TakeHostBytes();
    }
    FlushToHost();
}

}  // namespace korrsim
