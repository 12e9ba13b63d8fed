#include "serial/PosixPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace korr {

namespace {

constexpr int kReadTimeoutMs = 100;
constexpr int kWriteTimeoutConstantMs = 100;
constexpr int kWriteTimeoutPerByteMs = 10;

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {.baud = 1200, .speed = B1200},     {.baud = 2400, .speed = B2400},
    {.baud = 4800, .speed = B4800},     {.baud = 9600, .speed = B9600},
    {.baud = 19200, .speed = B19200},   {.baud = 38400, .speed = B38400},
    {.baud = 57600, .speed = B57600},   {.baud = 115200, .speed = B115200},
    {.baud = 230400, .speed = B230400}, {.baud = 460800, .speed = B460800},
    {.baud = 921600, .speed = B921600},
};

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Opens the node without becoming its controlling terminal and takes the non-blocking lock.
int OpenLocked(const char* name, int* fdOut) {
    std::string path = SystemPortPath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return -err;
    }
    *fdOut = fd;
    return 0;
}

}  // namespace

std::string SystemPortPath(const char* name) {
    std::string n = name != nullptr ? name : "";
    if (!n.empty() && n[0] == '/') return n;
    return "/dev/" + n;
}

bool BaudToSpeed(uint32_t baud, speed_t* speed) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.baud == baud) {
            *speed = e.speed;
            return true;
        }
    }
    return false;
}

int32_t PosixPort::Open(const char* name, std::unique_ptr<PortLink>& out) {
    if (name == nullptr || name[0] == '\0') return -ENOENT;
    int fd = -1;
    int32_t err = OpenLocked(name, &fd);
    if (err < 0) return err;
    // TIOCEXCL keeps other (non-root) openers out even if they do not use flock.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        err = -errno;
        ::close(fd);
        return err;
    }
    out.reset(new PosixPort(fd));
    return 0;
}

PosixPort::~PosixPort() {
    Close();
}

int32_t PosixPort::SetQueueSizes(uint32_t, uint32_t) {
    return 0;
}  // the driver sizes its own

int32_t PosixPort::ReadLineSettings() {
    if (::tcgetattr(fd_, &settings_) != 0) return -errno;
    return 0;
}

int32_t PosixPort::ApplyLineSettings(uint32_t baud) {
    speed_t speed;
    if (!BaudToSpeed(baud, &speed)) return -EINVAL;
    termios t = settings_;
    // Every field set explicitly: raw bytes, 8N1, receiver on, modem control lines ignored,
    // no flow control, no translation of any kind.
    t.c_iflag = IGNBRK;
    t.c_oflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL;
    t.c_lflag = 0;
    for (cc_t& c : t.c_cc) c = 0;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return -EINVAL;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return -errno;
    settings_ = t;
    return 0;
}

int32_t PosixPort::ApplyBaud(uint32_t baud) {
    speed_t speed;
    if (!BaudToSpeed(baud, &speed)) return -EINVAL;
    termios t = settings_;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return -EINVAL;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return -errno;
    settings_ = t;
    return 0;
}

int32_t PosixPort::ApplyTimeouts() {
    return 0;
}  // reads wait in poll, see Read

int32_t PosixPort::SetDtr(bool on) {
    int bits = TIOCM_DTR;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
        // Pseudo-terminals have no modem lines; that is not an error.
        if (errno == ENOTTY || errno == EINVAL) return 0;
        return -errno;
    }
    return 0;
}

int32_t PosixPort::ClearErrors() {
    return 0;
}

int32_t PosixPort::Read(void* dst, size_t capacity) {
    if (capacity == 0) return 0;
    const int64_t deadline = MonotonicMs() + kReadTimeoutMs;
    for (;;) {
        pollfd p{.fd = fd_, .events = POLLIN, .revents = 0};
        int wait = static_cast<int>(deadline - MonotonicMs());
        int r = ::poll(&p, 1, wait > 0 ? wait : 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (r == 0) return 0;
        if (p.revents & POLLNVAL) return -EBADF;
        if (p.revents & POLLERR) return -EIO;
        if (p.revents & POLLIN) {
            ssize_t n = ::read(fd_, dst, capacity);
            if (n > 0) return static_cast<int32_t>(n);
            if (n == 0) return -EIO;  // the far side hung up
            if (errno == EAGAIN || errno == EINTR) continue;
            return -errno;
        }
        if (p.revents & POLLHUP) return -EIO;
    }
}

int32_t PosixPort::Write(const void* src, size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(src);
    const int64_t deadline = MonotonicMs() + kWriteTimeoutConstantMs +
                             kWriteTimeoutPerByteMs * static_cast<int64_t>(count);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return done > 0 ? static_cast<int32_t>(done) : -errno;
        int wait = static_cast<int>(deadline - MonotonicMs());
        if (wait <= 0) break;  // the write time-out passed: report what went out
        pollfd p{.fd = fd_, .events = POLLOUT, .revents = 0};
        if (::poll(&p, 1, wait) < 0 && errno != EINTR) {
            return done > 0 ? static_cast<int32_t>(done) : -errno;
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            return done > 0 ? static_cast<int32_t>(done) : -EIO;
        }
    }
    return static_cast<int32_t>(done);
}

int32_t PosixPort::DiscardInput() {
    if (::tcflush(fd_, TCIFLUSH) != 0) return -errno;
    return 0;
}

int32_t PosixPort::Close() {
    if (fd_ < 0) return 0;
    // Exclusive mode outlives our descriptor if another one stays open; give it back.
    ::ioctl(fd_, TIOCNXCL);
    int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 0 : -errno;
}

int32_t ProbePortLock(const char* name) {
    int fd = -1;
    int32_t err = OpenLocked(name, &fd);
    if (err < 0) return err;
    // A UART slot with no chip behind it still opens; reading its modem lines (which changes
    // nothing) fails with EIO. Pseudo-terminals have no modem lines at all, which is fine.
    int lines = 0;
    if (::isatty(fd) != 1) {
        err = -ENOTTY;  // a file or another device: nothing a serial line could be opened on
    } else if (::ioctl(fd, TIOCMGET, &lines) != 0 && errno == EIO) {
        err = -EIO;
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return err;
}

}  // namespace korr
