#pragma once
// The device link: one serial connection to a logger, instrument or communication device that
// speaks the line-oriented command language ("get -ver\r" ... answered with text and '>').

#include <cstdint>
#include <functional>
#include <memory>

#include "device/DeviceRecords.h"
#include "log/KorrLog.h"
#include "serial/KorrSerial.h"

namespace korr {

inline constexpr uint32_t kReplyBufferSize = 2049;

// Long operations report progress; false cancels. Phases: 1 progress, 2 finished, 4 one query.
using ProgressHook = std::function<bool(uint32_t total, uint32_t done, int phase)>;
// Receives raw sent/received text according to the trace level.
using TraceHook = std::function<void(const char* text)>;

class MORVA_Protocol {
  public:
    explicit MORVA_Protocol(KorrLog* logTo);
    ~MORVA_Protocol();
    MORVA_Protocol(const MORVA_Protocol&) = delete;
    MORVA_Protocol& operator=(const MORVA_Protocol&) = delete;

    int32_t ConfigureLink(LinkOptions* linkOptions, bool set);
    int32_t ConnectDevice(ConnectRequest* connectRequest);
    // One exchange: write the command, wait for the terminator, read the reply. Retries on
    // "ERROR", "?" and "Unsupported"; an echoed command is -32 at once; silence on every try -21.
    int32_t DeviceCommand(const char* command, char terminator, uint32_t timeoutMs, char* reply,
                          uint32_t* replyCapacity, uint32_t* elapsedMs);
    // After an exchange that needed a repeat: waits for the repeat's late answer and drops it.
    void DrainLateAnswer(char terminator, uint32_t timeoutMs, uint32_t firstSentAt);
    // Mode 1 finds the name of a device in reach (buffer of kDeviceNameCapacity); a larger mode
    // is a plain query whose reply goes into a buffer of that capacity.
    int32_t QueryCommand(char* buffer, uint32_t mode);
    int32_t SendWake();
    int32_t LoginCommand(const char* name);
    // The name holds kDeviceNameCapacity characters; on a radio link an empty name is filled
    // with the name of the device that answers the query.
    int32_t DeviceLogin(char* name, const char* ignored, uint8_t* baudIndex);
    int32_t SetBaudCommand(uint32_t rate);
    int32_t DisconnectDevice(bool quiet);

    bool CallProgress(uint32_t total, uint32_t done, int phase);
    void Trace(int direction, const char* text);  // direction: 1 received, 2 sent
    bool IsRadioLink() const { return request.linkType == kLinkRadio; }

    KorrSerial port;
    std::unique_ptr<char[]> readBuffer;  // installed in the port before it opens
    int32_t status = 1;
    LinkOptions options;
    DeviceSettingsRecord settings;
    ConnectRequest request;
    uint32_t tries = 3;
    uint32_t resets = 0;
    std::unique_ptr<char[]> replyBuffer;  // raw text of the last reply, always terminated
    KorrLog* log;
    ProgressHook progressHook;
    TraceHook traceHook;

  private:
    int32_t SerialLogin(uint8_t* baudIndex);
    int32_t RadioLogin(char* name, uint8_t* baudIndex);
};

// 1 for a valid device name, else -50..-56 (see the rules in the implementation).
int32_t CheckDeviceName(const char* name);

// Programs (mode 1) or reads (mode 0) the radio module through its AT command mode. The mask
// goes in as the items wanted (kSetRadioChannel, kSetRadioSubchannel, kSetRadioVersion) and
// comes back as the items done; the version text holds kDeviceNameCapacity characters.
// Defined with the maintenance commands; the connect uses it to set up the radio first.
int32_t Tm8Config(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* versionText,
                  int32_t mode, uint32_t* mask);

// Baud index to rate: 0 none, 1 1200, 2 9600 ... 8 460800.
uint32_t BaudIndexToRate(uint8_t index);
// The code of "set -baud %d" for a rate (9600 is 0 ... 460800 is 6); -1 for a rate the
// devices cannot take.
int DeviceBaudCode(uint32_t rate);

}  // namespace korr
