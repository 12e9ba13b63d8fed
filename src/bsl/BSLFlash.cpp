// Erasing and programming the target's flash through the connected loader.

#include <cstring>

#include "bsl/KorrBSLHost.h"
#include "common/FixedText.h"
#include "firmware/ImageFit.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kTag = "KorrBSL";
constexpr uint32_t kRetryPauseMs = 175;
constexpr uint32_t kVectorPauseMs = 50;
constexpr uint32_t kSegmentSize = 512;
constexpr uint32_t kProgressEvery = 10;  // erase progress every 10 segments
constexpr uint32_t kAddressDigits = 5;

bool InLoaderArea(uint32_t address) {
    return address >= kLoaderFlashStart && address <= kLoaderFlashEnd;  // 64000 to 0xFFFF
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads the segment address after an '@' of the image text: all five digits in five-digit
// mode, the last four otherwise. False when the text is cut short or not hexadecimal, and in
// four-digit mode for a segment above 0xFFFF: cut to four digits it would be written at the
// bottom of the memory map.
bool SegmentAddress(const std::string& text, size_t at, bool fiveDigit, uint32_t* address) {
    if (at + 1 + kAddressDigits > text.size()) return false;
    uint32_t value = 0;
    for (size_t i = 0; i < kAddressDigits; ++i) {
        int d = HexValue(text[at + 1 + i]);
        if (d < 0) return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    if (!fiveDigit && value > 0xFFFF) return false;
    *address = value;
    return true;
}

// Up to the engine's retry count of attempts, 175 ms apart; the last result counts.
template <typename Send>
int32_t Repeat(const KorrBSLHost& host, Send send) {
    int32_t r = 0;
    for (uint32_t attempt = 0; attempt < host.retries; ++attempt) {
        if (attempt > 0) DelayMs(kRetryPauseMs);
        r = send();
        if (r > 0) break;
    }
    return r;
}

// Calls the progress hook when progress is on; false means the user cancelled.
bool ReportProgress(const KorrBSLHost& host, uint32_t total, uint32_t done, int phase, char kind) {
    if (!host.progress || !host.progressHook) return true;
    return host.progressHook(total, done, phase, kind);
}

// Sends the collected block; a failed attempt puts the loader back at the block's start
// before the block goes again, since a half-done write may have moved its address.
int32_t SendBlock(KorrBSLHost& host, uint32_t length, uint32_t address, bool fiveDigit) {
    int32_t r = 0;
    for (uint32_t attempt = 0; attempt < host.retries; ++attempt) {
        if (attempt > 0) {
            DelayMs(kRetryPauseMs);
            int32_t a = host.BSLSendAddress(address, fiveDigit);
            if (a < 0) return a;
        }
        char reply[kBSLReplyCapacity];
        uint32_t elapsed = 0;
        r = host.BSLCommand('W', host.dataBuffer.data(), length, '\r', reply, &elapsed);
        if (r > 0) break;
    }
    return r;
}

}  // namespace

int32_t KorrBSLHost::BSLEraseINFO(uint32_t address, uint32_t count, uint32_t step, bool fiveDigit) {
    const uint32_t start = TickMs();
    int32_t result = 0;
    uint32_t segment = address;
    for (uint32_t i = 0; i < count && result >= 0; ++i) {
        result = Repeat(*this, [&] {
            char reply[kBSLReplyCapacity];
            uint32_t elapsed = 0;
            return BSLCommand('X', &segment, 1, '\r', reply, &elapsed, fiveDigit);
        });
        segment += step;
    }
    const long ms = static_cast<long>(TickMs() - start);
    if (log != nullptr) {
        if (result < 0)
            log->Print(LOG_ERROR, kTag, "BSLEraseINFO failed with error %d (%ld ms)", result, ms);
        else
            log->Print(LOG_INFO, kTag, "BSLEraseINFO successful: %d segments @ %X (%ld ms)",
                       static_cast<int>(count), address, ms);
    }
    return result;
}

int32_t KorrBSLHost::BSLEraseFlash(uint32_t start, uint32_t end, bool fiveDigit) {
    if (InLoaderArea(start)) return -11;
    const uint32_t began = TickMs();
    const uint32_t total = end > start ? (end - start) / kSegmentSize : 0;
    int32_t result = 0;
    uint32_t segments = 0;
    for (uint32_t address = start; address < end; ++segments) {
        if (segments % kProgressEvery == 0 &&
            !ReportProgress(*this, total, (address - start) / kSegmentSize, 1, 'X')) {
            result = -40;
            break;
        }
        result = Repeat(*this, [&] {
            char reply[kBSLReplyCapacity];
            uint32_t elapsed = 0;
            return BSLCommand('X', &address, 1, '\r', reply, &elapsed, fiveDigit);
        });
        if (result < 0) break;
        address = NextFlashErase(address);  // the loader's own flash stays
    }
    ReportProgress(*this, total, total, 2, 'X');

    const long seconds = static_cast<long>((TickMs() - began) / 1000);
    if (log != nullptr) {
        if (result < 0)
            log->Print(LOG_ERROR, kTag, "BSLEraseFlash failed with error %d (%ld s)", result,
                       seconds);
        else
            log->Print(LOG_INFO, kTag, "BSLEraseFlash successful: segment %X to %X (%ld s)", start,
                       end, seconds);
    }
    return result;
}

int32_t KorrBSLHost::BSLSendAddress(uint32_t address, bool fiveDigit) {
    char text[16];
    FormatText(text, sizeof text, fiveDigit ? "%05X" : "%04X", address);
    int32_t result = Repeat(*this, [&] {
        char reply[kBSLReplyCapacity];
        uint32_t elapsed = 0;
        return BSLCommand('@', text, static_cast<uint32_t>(std::strlen(text)), '\r', reply,
                          &elapsed);
    });
    if (log != nullptr) {
        if (result < 0)
            log->Print(LOG_ERROR, kTag, "BSLSendAddress (%05X) failed with error %d", address,
                       result);
        else
            log->Print(LOG_INFO, kTag, "BSLSendAddress (%05X) successful", address);
    }
    return result;
}

int32_t KorrBSLHost::BSLSendFirmware(bool fiveDigit) {
    const uint32_t began = TickMs();
    const std::string& text = image.text;
    if (text.empty()) return -10;
    if (text[0] != '@') return -11;

    const uint32_t length = static_cast<uint32_t>(text.size());
    int32_t result = 0;
    uint32_t block = 0;    // characters collected in the data buffer
    uint32_t address = 0;  // byte address of the block being collected
    for (uint32_t pos = 0; pos < length && result >= 0;) {
        if (pos % kBSLMaxPayload == 0 && !ReportProgress(*this, length, pos, 1, 'W')) {
            result = -40;
            break;
        }
        if (text[pos] != '@') {
            dataBuffer[block++] = text[pos++];
            if (block == kBSLMaxPayload) {
                result = SendBlock(*this, block, address, fiveDigit);
                block = 0;
                address += kBSLMaxPayload / 2;
            }
            continue;
        }
        if (block > 0) {
            result = SendBlock(*this, block, address, fiveDigit);
            block = 0;
            if (result < 0) break;
        }
        if (!SegmentAddress(text, pos, fiveDigit, &address)) {
            result = -11;
            break;
        }
        pos += 1 + kAddressDigits;
        result = BSLSendAddress(address, fiveDigit);
    }
    if (block > 0 && result > 0) result = SendBlock(*this, block, address, fiveDigit);
    ReportProgress(*this, length, length, 2, 'W');

    const int seconds = static_cast<int>((TickMs() - began) / 1000);
    if (log != nullptr) {
        if (result < 0)
            log->Print(LOG_ERROR, kTag, "BSLSendFirmware failed with error %d (%d s)", result,
                       seconds);
        else
            log->Print(LOG_INFO, kTag, "BSLSendFirmware successful (%d s)", seconds);
    }
    return result;
}

int32_t KorrBSLHost::BSLSendVectors() {
    DelayMs(kVectorPauseMs);
    int32_t result = Repeat(*this, [&] {
        char reply[kBSLReplyCapacity];
        uint32_t elapsed = 0;
        return BSLCommand('V', image.vectors, kVectorCount, '+', reply, &elapsed, false);
    });
    if (log != nullptr) {
        if (result < 0)
            log->Print(LOG_ERROR, kTag, "BSLSendVectors failed with error %d", result);
        else
            log->Print(LOG_INFO, kTag, "BSLSendVectors successful");
    }
    return result;
}

}  // namespace korr
