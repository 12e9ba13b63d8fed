#include "serial/KorrSerial.h"

#include <cstring>

#include "common/FixedText.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kTag = "KorrSerial";
constexpr uint32_t kDefaultBaud = 9600;
constexpr int kEmptyReadsBeforeYield = 5;
constexpr uint32_t kYieldAboveTimeoutMs = 400;
constexpr uint32_t kYieldMs = 200;

// Logs with the port's name as tag.
#define PORT_LOG(port, level, ...)                                                     \
    do {                                                                               \
        if ((port).log != nullptr) (port).log->Print(level, (port).name, __VA_ARGS__); \
    } while (0)
#define SERIAL_LOG(port, level, ...)                                            \
    do {                                                                        \
        if ((port).log != nullptr) (port).log->Print(level, kTag, __VA_ARGS__); \
    } while (0)

size_t BufferedLength(const KorrSerial& port) {
    return strnlen(port.readBuffer, kReadBufferSize - 1);
}

}  // namespace

KorrSerial::~KorrSerial() = default;

int32_t KSOpen(KorrSerial& port, const char* name, uint32_t baud) {
    if (port.handle) {
        SERIAL_LOG(port, LOG_TRACE, "KSOpen found port \"%ld\" already open",
                   port.handle->Handle());
        KSClose(port);
        SleepMs(100);
    }
    CopyText(port.name, name);

    std::unique_ptr<PortLink> link;
    int32_t err = OpenPortLink(port.name, link);
    if (err < 0 || !link) {
        if (err >= 0) err = -5;  // an opener that returns no link: treat as an I/O error
        PORT_LOG(port, LOG_ERROR, "KSOpen failed to open comm port (error %d)", -err);
        return err;
    }
    port.handle = std::move(link);
    PortLink& h = *port.handle;

    if ((err = h.SetQueueSizes(kReadBufferSize, kReadBufferSize)) < 0) {
        PORT_LOG(port, LOG_TRACE, "KSOpen failed to set buffer size on comm port (error %d)", -err);
    }
    if ((err = h.ReadLineSettings()) < 0) {
        PORT_LOG(port, LOG_ERROR, "KSOpen failed to retreive DCB on comm port (error %d)", -err);
        return err;
    }
    port.baud = baud == 0 ? kDefaultBaud : baud;
    if ((err = h.ApplyLineSettings(port.baud)) < 0) {
        PORT_LOG(port, LOG_ERROR, "KSOpen failed to apply DCB on comm port (error %d)", -err);
        return err;
    }
    if ((err = h.ApplyTimeouts()) < 0) {
        PORT_LOG(port, LOG_ERROR, "KSOpen failed to set timeouts on comm port (error %d)", -err);
        return err;
    }
    h.SetDtr(true);
    h.ClearErrors();

    if (port.readBuffer == nullptr) {
        port.ownedBuffer.reset(new (std::nothrow) char[kReadBufferSize]);
        if (!port.ownedBuffer) return -60;
        port.readBuffer = port.ownedBuffer.get();
    }
    std::memset(port.readBuffer, 0, kReadBufferSize);
    port.replyReady = false;
    PORT_LOG(port, LOG_VERBOSE, "KSOpen successfully opened and configured comm port at %d baud",
             static_cast<int>(port.baud));
    return 1;
}

int32_t KSClose(KorrSerial& port) {
    if (!port.handle) return 0;
    port.handle->SetDtr(false);
    int32_t err = port.handle->Close();
    port.handle.reset();
    if (port.ownedBuffer) {
        port.ownedBuffer.reset();
        port.readBuffer = nullptr;
    }
    if (err < 0) {
        PORT_LOG(port, LOG_ERROR, "KSClose failed to close comm port (error %d)", -err);
        return err;
    }
    PORT_LOG(port, LOG_VERBOSE, "KSClose closed comm port");
    return 1;
}

int32_t KSWrite(KorrSerial& port, const void* bytes, uint32_t count, uint32_t* written) {
    if (written != nullptr) *written = 0;
    if (!port.handle) {
        SERIAL_LOG(port, LOG_ERROR, "KSWrite tried to write to a closed port");
        return -21;
    }
    int32_t n = port.handle->Write(bytes, count);
    if (n < 0) {
        PORT_LOG(port, LOG_ERROR, "KSWrite WriteFile failed (error %d)", -n);
        return -21;
    }
    if (written != nullptr) *written = static_cast<uint32_t>(n);
    PORT_LOG(port, LOG_TRACE, "KSWrite wrote %d bytes", n);
    return n;
}

int32_t KSWait(KorrSerial& port, uint32_t timeoutMs, char terminator) {
    if (!port.handle) {
        SERIAL_LOG(port, LOG_ERROR, "KSWait tried to operate on a closed port");
        return -21;
    }
    if (port.readBuffer == nullptr) return -60;

    const uint32_t start = TickMs();
    int emptyReads = 0;
    size_t used = 0;  // bytes from now on replace what the buffer held
    port.readBuffer[0] = '\0';
    for (;;) {
        size_t room = kReadBufferSize - 1 - used;
        int32_t n = room > 0 ? port.handle->Read(port.readBuffer + used, room) : 0;
        if (n < 0) {
            PORT_LOG(port, LOG_ERROR, "KSWait ReadFile failed (error %d)", -n);
            return -21;
        }
        if (n > 0) {
            used += static_cast<size_t>(n);
            port.readBuffer[used] = '\0';
            // A NUL from the line ends the text; the search looks at the text only.
            if (std::strchr(port.readBuffer, terminator) != nullptr && terminator != '\0') {
                port.replyReady = true;
                PORT_LOG(port, LOG_TRACE, "KSWait found '%c' in %d ms", terminator,
                         static_cast<int>(TickMs() - start));
                return static_cast<unsigned char>(terminator);
            }
            continue;
        }
        uint32_t elapsed = TickMs() - start;
        if (elapsed > timeoutMs || room == 0) {
            PORT_LOG(port, LOG_TRACE, "KSWait read %d bytes, but never found '%c' in %d ms",
                     static_cast<int>(BufferedLength(port)), terminator, static_cast<int>(elapsed));
            return 0;
        }
        if (++emptyReads > kEmptyReadsBeforeYield && timeoutMs > kYieldAboveTimeoutMs) {
            DelayMs(kYieldMs);
        }
    }
}

int32_t KSRead(KorrSerial& port, void* dst, uint32_t capacity, uint32_t* countOut) {
    uint32_t count = 0;
    if (countOut != nullptr) *countOut = 0;
    if (port.readBuffer == nullptr) return -60;
    char* out = static_cast<char*>(dst);

    size_t buffered = BufferedLength(port);
    if (buffered > 0) {
        if (buffered > capacity) {
            buffered = capacity;
            port.replyReady = true;
        }
        std::memcpy(out, port.readBuffer, buffered);
        count = static_cast<uint32_t>(buffered);
        port.readBuffer[0] = '\0';  // the excess, if any, is discarded
        PORT_LOG(port, LOG_TRACE, "KSRead read %d bytes from gReadBuffer", static_cast<int>(count));
    }
    // The count tells the caller what is in dst even when the port read below fails.
    if (countOut != nullptr) *countOut = count;
    if (port.replyReady) {
        port.replyReady = false;
        return static_cast<int32_t>(count);
    }
    if (!port.handle) {
        SERIAL_LOG(port, LOG_ERROR, "KSRead tried to read from a closed port");
        return -21;
    }
    if (capacity > count) {
        int32_t n = port.handle->Read(out + count, capacity - count);
        if (n < 0) {
            PORT_LOG(port, LOG_ERROR, "KSRead ReadFile failed (error %d)", -n);
            return -21;
        }
        count += static_cast<uint32_t>(n);
    }
    PORT_LOG(port, LOG_TRACE, "KSRead read %d btyes", static_cast<int>(count));
    if (countOut != nullptr) *countOut = count;
    return static_cast<int32_t>(count);
}

int32_t KSHostBaud(KorrSerial& port, uint32_t rate) {
    if (rate == port.baud) return 0;
    if (port.name[0] == '\0') return -6;
    if (!port.handle) {
        // Opened once but closed now: there is no driver to apply the rate to.
        PORT_LOG(port, LOG_ERROR, "KSHostBaud failed to apply new baud rate \"%d\" (error %d)",
                 static_cast<int>(rate), 9 /* EBADF */);
        return -9;
    }
    port.handle->ReadLineSettings();  // a failure here is ignored
    int32_t err = port.handle->ApplyBaud(rate);
    if (err < 0) {
        PORT_LOG(port, LOG_ERROR, "KSHostBaud failed to apply new baud rate \"%d\" (error %d)",
                 static_cast<int>(rate), -err);
        return err;
    }
    port.baud = rate;
    return 1;
}

int32_t KSPurge(KorrSerial& port) {
    if (port.handle) port.handle->DiscardInput();
    if (port.readBuffer != nullptr) port.readBuffer[0] = '\0';
    return 0;
}

}  // namespace korr
