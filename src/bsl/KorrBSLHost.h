#pragma once
// The loader engine: talks to the bootstrap loader "KorrBSL" that lives in the instrument's
// protected flash, and holds the firmware image it programs.

#include <array>
#include <cstdint>
#include <functional>

#include "bsl/LoaderLine.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TIText.h"
#include "log/KorrLog.h"
#include "serial/KorrSerial.h"

namespace korr {

// Progress of the long loader steps; returning false cancels the running step (-40).
// phase: 1 while running, 2 once at the end; kind: 'W' upload, 'X' flash erase.
using BSLProgress = std::function<bool(uint32_t total, uint32_t done, int phase, char kind)>;

inline constexpr uint32_t kBSLMaxPayload = 512;
inline constexpr uint32_t kBSLMaxNumbers = 128;
inline constexpr size_t kBSLReplyCapacity = 21;  // 20 characters and the NUL
inline constexpr size_t kBSLFrameCapacity = 1 + 640 + 6 + 1;

class KorrBSLHost {
  public:
    explicit KorrBSLHost(KorrLog* logTo);
    ~KorrBSLHost();
    KorrBSLHost(const KorrBSLHost&) = delete;
    KorrBSLHost& operator=(const KorrBSLHost&) = delete;

    // One framed exchange with the loader. Payload form: command letter, payload text.
    int32_t BSLCommand(char command, const char* payload, uint32_t length, char terminator,
                       char* reply, uint32_t* elapsedMs);
    // Number form: each number as "%04X", or "%05X" in five-digit mode.
    int32_t BSLCommand(char command, const uint32_t* numbers, uint32_t count, char terminator,
                       char* reply, uint32_t* elapsedMs, bool fiveDigit);

    // Loader connection.
    int32_t BSLConnect(const char* portName, uint32_t baud, bool withProgress, uint32_t retryCount);
    int32_t BSLDisconnect();
    int32_t BSLInvocation(uint32_t baud);
    int32_t BSLCheck(const char* portName, uint32_t baud);
    // The second half of the invocation: wakes the loader at its own rate and opens the session.
    // *attempt is the attempt that finished.
    int32_t BSLSynchronise(uint32_t baud, uint32_t* attempt);
    int32_t AttachToListeningLoader(const char* portName, uint32_t baud, int32_t invocation);

    // Flash programming.
    int32_t BSLEraseINFO(uint32_t address, uint32_t count, uint32_t step, bool fiveDigit);
    int32_t BSLEraseFlash(uint32_t start, uint32_t end, bool fiveDigit);
    int32_t BSLSendAddress(uint32_t address, bool fiveDigit);
    int32_t BSLSendFirmware(bool fiveDigit);
    int32_t BSLSendVectors();

    // TI-Text files.
    int32_t BSLLoadTIFile(const char* path);
    // The same; for a file that is not valid TI-Text, `stop` (when given) says where and why.
    int32_t BSLLoadTIFile(const char* path, TITextStop* stop);
    int32_t BSLWriteTIFile(const char* path);
    int32_t BSLWriteStandardTIFile(const char* path);

    void SetProgressHook(BSLProgress hook) { progressHook = std::move(hook); }

    KorrSerial port;
    KorrLog* log;
    int32_t loaderVersion = 0;
    FirmwareImage image;
    bool connected = false;
    bool progress = false;
    uint32_t retries = 3;
    LoaderLine line;  // how the loader's answers came back since BSLConnect
    BSLProgress progressHook;
    std::array<char, kBSLFrameCapacity> frameBuffer{};
    std::array<char, kBSLMaxPayload + 1> dataBuffer{};

  private:
    // Sends letter + fields + check value and classifies the reply.
    int32_t Exchange(char command, const char* fields, char terminator, char* reply,
                     uint32_t* elapsedMs);
};

// Check value of a frame: the character codes of the letter and the fields, plus '.',
// modulo 0xFFFF.
uint32_t BSLCheckValue(const char* letterAndFields, size_t length);

}  // namespace korr
