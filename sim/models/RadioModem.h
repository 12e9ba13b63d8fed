#pragma once
// A radio modem on the serial line and a sleeping radio logger within its reach.
//
// The modem passes bytes over the air both ways when it and the logger's radio share channel
// and subchannel. "+++" puts it into AT command mode: "ATHP" and "ATDT" read or (with a hex
// value) set channel and subchannel, "ATVR" reads its firmware version, "ATWR" saves, "ATCN"
// goes back to passing data. Every AT command is answered "OK", a value or "ERROR", each with a
// carriage return.
//
// The logger sleeps to save its battery: a long run of carriage returns (the wake sequence)
// wakes it. Awake, it answers "query" with its name, "login <name>" with its name (or no name)
// and ignores every other command until logged in; "logout" or a long silence sends it back to
// sleep.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Device.h"
#include "core/Link.h"
#include "models/Logger.h"

namespace korrsim {

class RadioLogger;

class RadioModem : public Device {
  public:
    explicit RadioModem(Link& link, int channel = 5, int subchannel = 0x1A2B,
                        std::string version = "1084");

    void OnByte(uint8_t byte) override;

    int Channel() const { return channel_; }
    int Subchannel() const { return subchannel_; }
    bool InCommandMode() const { return commandMode_; }
    bool Saved() const { return saved_; }
    // Everything said to the modem itself: "+++" and the AT command lines.
    const std::vector<std::string>& AtLines() const { return atLines_; }
    // The modem does not answer its AT commands.
    void SetSilent(bool on) { silent_ = on; }

    // --- the air ---
    void SetRemote(RadioLogger* remote) { remote_ = remote; }
    // Bytes the remote device transmits.
    void FromAir(std::string_view bytes);
    EventLoop& Loop() { return link_.Loop(); }

  private:
    bool Tuned() const;
    void ToAir(uint8_t byte);
    void HandleAt(const std::string& line);
    void AnswerAt(std::string text);

    Link& link_;
    int channel_;
    int subchannel_;
    std::string version_;
    RadioLogger* remote_ = nullptr;
    int plusRun_ = 0;
    bool commandMode_ = false;
    TimeUs commandSince_ = 0;
    std::string atLine_;
    std::vector<std::string> atLines_;
    bool saved_ = false;
    bool silent_ = false;
};

class RadioLogger : public Logger {
  public:
    RadioLogger(RadioModem& modem, std::span<const LoggerKey> keys, std::string versionReply);
    ~RadioLogger() override;

    void OnByte(uint8_t byte) override;
    void HandleLine(const std::string& line) override;

    std::string Name() const { return Settings().Get("i"); }
    // The logger's radio tuning, from its settings (hexadecimal).
    int Channel() const;
    int Subchannel() const;

    bool Asleep() const { return asleep_; }
    bool LoggedIn() const { return loggedIn_; }
    int Wakes() const { return wakes_; }
    void Sleep();
    void WakeUp();
    // Carriage returns in a row that wake it; idle time after which it sleeps again.
    void SetWakeThreshold(int carriageReturns) { wakeThreshold_ = carriageReturns; }
    void SetAwakeTimeout(TimeUs timeout) { awakeTimeout_ = timeout; }
    // Stays awake and logged in after "logout" (a device that does not let go).
    void SetIgnoreLogout(bool on) { ignoreLogout_ = on; }

  private:
    RadioModem& modem_;
    bool asleep_ = true;
    bool loggedIn_ = false;
    bool ignoreLogout_ = false;
    int carriageReturns_ = 0;
    int wakeThreshold_ = 300;
    int wakes_ = 0;
    TimeUs awakeTimeout_ = 60'000 * kUsPerMs;
    TimeUs lastHeard_ = 0;
};

}  // namespace korrsim
