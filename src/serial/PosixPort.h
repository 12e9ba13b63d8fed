#pragma once
// The posix backend of the port seam: termios on a non-blocking descriptor with poll.

#include <termios.h>

#include <string>

#include "serial/PortLink.h"

namespace korr {

// "ttyUSB0" means /dev/ttyUSB0; an absolute path is used as given.
std::string SystemPortPath(const char* name);

// Maps a baud rate to its termios speed; false when the platform has no such speed.
bool BaudToSpeed(uint32_t baud, speed_t* speed);

class PosixPort final : public PortLink {
  public:
    // Opens exclusively: a non-blocking flock (which also holds against root) plus TIOCEXCL.
    static int32_t Open(const char* name, std::unique_ptr<PortLink>& out);
    ~PosixPort() override;

    int32_t SetQueueSizes(uint32_t inBytes, uint32_t outBytes) override;
    int32_t ReadLineSettings() override;
    int32_t ApplyLineSettings(uint32_t baud) override;
    int32_t ApplyBaud(uint32_t baud) override;
    int32_t ApplyTimeouts() override;
    int32_t SetDtr(bool on) override;
    int32_t ClearErrors() override;
    int32_t Read(void* dst, size_t capacity) override;
    int32_t Write(const void* src, size_t count) override;
    int32_t DiscardInput() override;
    int32_t Close() override;
    long Handle() const override { return fd_; }

  private:
    explicit PosixPort(int fd) : fd_(fd) {}
    int fd_;
    termios settings_{};
};

// Opens a port only to see whether another program holds it: no controlling terminal, no
// settings or DTR change. 0 free, -EWOULDBLOCK/-EBUSY held, -EIO a UART slot without a chip,
// -ENOTTY not a terminal at all (a file, /dev/null), or another negated errno (-ENOENT, -ENODEV,
// -ENXIO: no such port; -EACCES: not ours).
int32_t ProbePortLock(const char* name);

}  // namespace korr
