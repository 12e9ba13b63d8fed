#pragma once
// The serial port record and its operations. The device link and the loader engine each own one;
// the port lister uses one that is never opened, only for its log.

#include <cstdint>
#include <memory>

#include "log/KorrLog.h"
#include "serial/PortLink.h"

namespace korr {

// Wide enough for the platform's device paths (/dev/serial/by-id/...), not just COMn.
inline constexpr size_t kPortNameCapacity = 256;
inline constexpr size_t kReadBufferSize = 2048;

struct KorrSerial {
    KorrLog* log = nullptr;
    std::unique_ptr<PortLink> handle;  // null while closed
    uint32_t baud = 0;
    char name[kPortNameCapacity] = {};  // as given to KSOpen; also the tag of the port's log lines
    char* readBuffer = nullptr;         // gReadBuffer: look-ahead text, NUL-terminated
    bool replyReady = false;
    std::unique_ptr<char[]> ownedBuffer;  // set when KSOpen allocated readBuffer ("ownsBuffer")

    KorrSerial() = default;
    explicit KorrSerial(KorrLog* logTo) : log(logTo) {}
    KorrSerial(const KorrSerial&) = delete;
    KorrSerial& operator=(const KorrSerial&) = delete;
    ~KorrSerial();

    bool IsOpen() const { return handle != nullptr; }
    bool OwnsBuffer() const { return ownedBuffer != nullptr; }
};

// 1 on success; -60 no buffer; otherwise the negated system error. Baud 0 means 9600.
int32_t KSOpen(KorrSerial& port, const char* name, uint32_t baud);
// 1 closed; 0 was not open; negative: the negated system error.
int32_t KSClose(KorrSerial& port);
// Bytes written; -21 when the port is closed or the write fails.
int32_t KSWrite(KorrSerial& port, const void* bytes, uint32_t count, uint32_t* written = nullptr);
// The terminator when found; 0 after the time-out (the bytes stay buffered); -21; -60.
int32_t KSWait(KorrSerial& port, uint32_t timeoutMs, char terminator);
// Bytes placed in dst (not terminated); -21; -60. count holds the bytes placed in dst, also
// when the port read fails after the look-ahead text was taken.
int32_t KSRead(KorrSerial& port, void* dst, uint32_t capacity, uint32_t* count = nullptr);
// 0 already at that rate; 1 changed; -6 never opened; otherwise the negated system error.
int32_t KSHostBaud(KorrSerial& port, uint32_t rate);
// Discards received input and the look-ahead text; always 0.
int32_t KSPurge(KorrSerial& port);

}  // namespace korr
