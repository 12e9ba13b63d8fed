#pragma once
// A device that answers from a script: exact command lines (with their "\r", or "+++") mapped
// to reply texts, and a record of every command it received. A command with several replies
// gets them in turn and keeps the last; an empty reply is silence.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/Device.h"
#include "core/Link.h"

namespace korrtest {

class ScriptedDevice : public korrsim::Device {
  public:
    explicit ScriptedDevice(korrsim::Link& link) : link_(link) { link_.AttachDevice(this); }
    ~ScriptedDevice() override { link_.AttachDevice(nullptr); }
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    void On(const std::string& command, const std::string& reply) { InTurn(command, {reply}); }
    void InTurn(const std::string& command, std::vector<std::string> replies) {
        script_[command] = Entry{std::move(replies), 0};
    }

    // The reply to a line that is not in the script (empty: silence).
    std::string otherwise;
    // Every command line received, in order.
    std::vector<std::string> commands;

    size_t Count(const std::string& command) const {
        return static_cast<size_t>(std::count(commands.begin(), commands.end(), command));
    }
    bool Heard(const std::string& command) const { return Count(command) > 0; }

    void OnByte(uint8_t byte) override {
        line_ += static_cast<char>(byte);
        auto it = script_.find(line_);
        if (it != script_.end()) {
            Entry& e = it->second;
            const std::string& reply = e.replies.empty() ? otherwise : e.replies[e.next];
            if (e.next + 1 < e.replies.size()) ++e.next;
            Finish(reply);
        } else if (byte == '\r') {
            Finish(otherwise);
        }
    }

  private:
    struct Entry {
        std::vector<std::string> replies;
        size_t next = 0;
    };

    void Finish(const std::string& reply) {
        commands.push_back(line_);
        line_.clear();
        if (reply.empty()) return;
        link_.Loop().After(2 * korrsim::kUsPerMs, [this, reply] { link_.DeviceSend(reply); });
    }

    korrsim::Link& link_;
    std::map<std::string, Entry> script_;
    std::string line_;
};

}  // namespace korrtest
