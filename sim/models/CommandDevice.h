#pragma once
// The firmware side of the line-oriented command language that the maker's loggers, instruments
// and communication devices speak: the host sends a line ending in a carriage return ("get -ver",
// "set -sn ABC", "show"), the device answers with text and its prompt ('>').
//
// An answer goes out as CR, text, CR, prompt ("\rOK\r>"), so an empty answer is the bare prompt
// "\r\r>". "get -<key>" answers the key's value from the settings store and "set -<key> <value>"
// stores it and answers "OK"; a key the device does not know answers "ERROR". Commands and keys
// with their own behaviour are added as handlers. Switches make the device misbehave the ways a
// host must survive: silence, "ERROR" to everything, a relay that echoes, a connection lost in
// the middle of a run.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/Device.h"
#include "core/EventLoop.h"
#include "core/Link.h"
#include "models/SettingsStore.h"

namespace korrsim {

// What the firmware answers to one command line.
struct Reply {
    enum class Kind { Text, Raw, None };
    Kind kind = Kind::Text;
    std::string text;
    // Runs once the answer has been handed to the line (a firmware that leaves for its loader).
    std::function<void()> after;

    static Reply Text(std::string body) { return Reply{Kind::Text, std::move(body), {}}; }
    // Sent exactly as given: no carriage returns and no prompt added.
    static Reply Raw(std::string bytes) { return Reply{Kind::Raw, std::move(bytes), {}}; }
    static Reply None() { return Reply{Kind::None, {}, {}}; }
    static Reply Ok() { return Text("OK"); }
    static Reply Error() { return Text("ERROR"); }
};

// Baud codes of "set -baud N": 0 9600, 1 19200 ... 6 460800; 0 for an unknown code.
uint32_t DeviceBaudFromCode(int code);

class CommandDevice : public Device {
  public:
    using Sender = std::function<void(std::string_view bytes)>;
    // A command's handler gets the text after the command word (and one space).
    using Handler = std::function<Reply(const std::string& args)>;
    using Getter = std::function<Reply()>;
    using Setter = std::function<Reply(const std::string& value)>;
    // The boot command ("boot VLUX"): gets the word, returns what the firmware sends back as it
    // stands ("OK", "ERROR" ...).
    using BootHook = std::function<std::string(const std::string& word)>;

    // A device on a serial line: answers go out on the link, and it can change its baud rate.
    explicit CommandDevice(Link& link, char prompt = '>');
    // A device behind another one (a radio modem): answers go through `send`.
    CommandDevice(EventLoop& loop, Sender send, char prompt = '>');

    void OnByte(uint8_t byte) override;
    // Runs one complete command line (without its carriage return).
    virtual void HandleLine(const std::string& line);
    // The processor starts (power-up, a restart): a half-received line and a baud change still
    // to come are gone, the line is back at 9600 baud.
    virtual void PowerUp();

    // --- what the firmware understands ---
    void AddCommand(const std::string& word, Handler handler) {
        commands_[word] = std::move(handler);
    }
    // Keys with their own behaviour take precedence over the store.
    void OnGet(const std::string& key, Getter getter) { getters_[key] = std::move(getter); }
    void OnSet(const std::string& key, Setter setter) { setters_[key] = std::move(setter); }
    SettingsStore& Settings() { return settings_; }
    const SettingsStore& Settings() const { return settings_; }
    // Without a hook the firmware answers "KorrBSL MISSING". `afterReply` runs once the answer
    // has been handed to the line: the instrument that runs this firmware enters its loader
    // there.
    void SetBootHook(BootHook hook, std::function<void()> afterReply = {}) {
        bootHook_ = std::move(hook);
        afterBoot_ = std::move(afterReply);
    }

    // --- switches ---
    // Time from the end of a command line to the first byte of the answer.
    void SetReplyDelay(TimeUs delay) { replyDelay_ = delay; }
    TimeUs ReplyDelay() const { return replyDelay_; }
    // Hears everything, answers nothing.
    void SetSilent(bool on) { silent_ = on; }
    // The next `count` commands are answered "ERROR"; -1 answers every command so until
    // AnswerErrors(0).
    void AnswerErrors(int count = -1) { errorsLeft_ = count; }
    // A relay on the line sends every byte the host writes straight back.
    void SetRelayEcho(bool on);
    // "set -baud N" answers "OK" and then switches the line to the new rate (on by default).
    void SetBaudChange(bool on) { baudChange_ = on; }
    // The device went back to 9600 baud on its own (a restart, an idle time-out).
    void RevertBaud();
    // After `afterCommands` more answered commands the device drops off the line: the next
    // `silentCommands` commands go unanswered; then it is back, restarted at 9600 baud.
    void LoseConnection(int afterCommands, int silentCommands);

    // --- what it heard ---
    const std::vector<std::string>& Lines() const { return lines_; }
    bool Heard(const std::string& line) const;
    void ClearLines() { lines_.clear(); }
    int Answered() const { return answered_; }
    int Restarts() const { return restarts_; }

  protected:
    // Finds the handler of a command word; "get", "set" and "boot" are built in.
    virtual Reply Dispatch(const std::string& word, const std::string& args);
    virtual Reply Get(const std::string& key);
    virtual Reply Set(const std::string& key, const std::string& value);
    // Sends an answer after the reply delay.
    void Answer(const Reply& reply);
    std::string Format(const Reply& reply) const;
    EventLoop& Loop() { return loop_; }
    Link* SerialLink() { return link_; }

  private:
    Reply SetBaud(const std::string& value);
    bool DropsThisLine();

    EventLoop& loop_;
    Link* link_ = nullptr;
    Sender send_;
    char prompt_;
    std::string line_;
    bool overflow_ = false;
    std::map<std::string, Handler> commands_;
    std::map<std::string, Getter> getters_;
    std::map<std::string, Setter> setters_;
    SettingsStore settings_;
    BootHook bootHook_;
    std::function<void()> afterBoot_;

    TimeUs replyDelay_ = 5 * kUsPerMs;
    bool silent_ = false;
    int errorsLeft_ = 0;
    bool baudChange_ = true;
    uint32_t pendingBaud_ = 0;
    int dropAfter_ = -1;
    int dropFor_ = 0;

    std::vector<std::string> lines_;
    int answered_ = 0;
    int restarts_ = 0;
};

// Splits "set -key value" arguments: "-key value" gives key and value (value may be empty).
void SplitKeyValue(const std::string& args, std::string* key, std::string* value);

}  // namespace korrsim
