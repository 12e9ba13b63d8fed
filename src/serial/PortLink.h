#pragma once
// The port seam: an open serial port as the serial layer needs it. One implementation per
// backend (posix termios, the simulator's in-process link); KorrSerial is written once on top.
// Every operation returns 0 (or a byte count) on success and a negated errno value on failure.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace korr {

class PortLink {
  public:
    virtual ~PortLink() = default;

    virtual int32_t SetQueueSizes(uint32_t inBytes, uint32_t outBytes) = 0;
    // Reads the driver's current line settings (kept for the next apply).
    virtual int32_t ReadLineSettings() = 0;
    // Applies raw 8N1 at the given rate: receiver on, no flow control, modem lines ignored.
    // A rate the platform cannot set is an error (-EINVAL), never a silent fallback.
    virtual int32_t ApplyLineSettings(uint32_t baud) = 0;
    // Changes only the rate of the settings last read.
    virtual int32_t ApplyBaud(uint32_t baud) = 0;
    // A read returns at once with what has arrived, or after 100 ms with nothing.
    virtual int32_t ApplyTimeouts() = 0;
    virtual int32_t SetDtr(bool on) = 0;
    virtual int32_t ClearErrors() = 0;

    // Returns the bytes read (0 after 100 ms with nothing), or a negated errno; a hang-up is
    // an error (-EIO), never an endless run of empty reads.
    virtual int32_t Read(void* dst, size_t capacity) = 0;
    // Writes within the write time-out (100 ms + 10 ms a byte); returns the bytes written,
    // which may be fewer than asked when the time-out passed, or a negated errno.
    virtual int32_t Write(const void* src, size_t count) = 0;
    virtual int32_t DiscardInput() = 0;
    virtual int32_t Close() = 0;
    // The platform's numeric handle, for log lines.
    virtual long Handle() const = 0;
};

// Opens a port by the name the user gave. 0 and a link, or a negated errno.
using PortOpener = std::function<int32_t(const char* name, std::unique_ptr<PortLink>& out)>;

// The process-wide opener: the operating system's unless tests or --simulate install another.
int32_t OpenPortLink(const char* name, std::unique_ptr<PortLink>& out);
// Installs an opener; an empty one restores the operating system's. Returns the previous one.
PortOpener SetPortOpener(PortOpener opener);

// The operating system's opener (posix termios on Linux).
int32_t OpenSystemPort(const char* name, std::unique_ptr<PortLink>& out);

class ScopedPortOpener {
  public:
    explicit ScopedPortOpener(PortOpener opener) : previous_(SetPortOpener(std::move(opener))) {}
    ~ScopedPortOpener() { SetPortOpener(previous_); }
    ScopedPortOpener(const ScopedPortOpener&) = delete;
    ScopedPortOpener& operator=(const ScopedPortOpener&) = delete;

  private:
    PortOpener previous_;
};

}  // namespace korr
