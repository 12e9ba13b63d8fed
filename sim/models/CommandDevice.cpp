#include "models/CommandDevice.h"

#include <algorithm>
#include <cstdlib>

namespace korrsim {

namespace {

constexpr size_t kMaxLine = 256;
constexpr uint32_t kDefaultBaud = 9600;
constexpr uint32_t kBaudByCode[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800};

}  // namespace

uint32_t DeviceBaudFromCode(int code) {
    if (code < 0 || code >= static_cast<int>(sizeof kBaudByCode / sizeof kBaudByCode[0])) return 0;
    return kBaudByCode[code];
}

void SplitKeyValue(const std::string& args, std::string* key, std::string* value) {
    size_t start = args.empty() || args[0] != '-' ? 0 : 1;
    size_t space = args.find(' ', start);
    *key = args.substr(start, space == std::string::npos ? std::string::npos : space - start);
    *value = space == std::string::npos ? std::string() : args.substr(space + 1);
}

CommandDevice::CommandDevice(Link& link, char prompt)
    : loop_(link.Loop()), link_(&link), prompt_(prompt) {}

CommandDevice::CommandDevice(EventLoop& loop, Sender send, char prompt)
    : loop_(loop), send_(std::move(send)), prompt_(prompt) {}

void CommandDevice::SetRelayEcho(bool on) {
    if (link_ != nullptr) link_->SetEcho(on);
}

void CommandDevice::RevertBaud() {
    pendingBaud_ = 0;
    if (link_ != nullptr) link_->SetDeviceBaud(kDefaultBaud);
}

void CommandDevice::PowerUp() {
    line_.clear();
    overflow_ = false;
    RevertBaud();
}

void CommandDevice::LoseConnection(int afterCommands, int silentCommands) {
    dropAfter_ = silentCommands > 0 ? std::max(afterCommands, 0) : -1;
    dropFor_ = silentCommands;
}

bool CommandDevice::Heard(const std::string& line) const {
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void CommandDevice::OnByte(uint8_t byte) {
    if (byte == '\n') return;  // line ends are carriage returns; a line feed is noise
    if (byte != '\r') {
        if (line_.size() < kMaxLine) {
            line_.push_back(static_cast<char>(byte));
        } else {
            overflow_ = true;
        }
        return;
    }
    std::string line = std::move(line_);
    line_.clear();
    if (overflow_) {
        overflow_ = false;
        Answer(Reply::Error());
        return;
    }
    HandleLine(line);
}

bool CommandDevice::DropsThisLine() {
    if (dropAfter_ != 0) return false;
    if (--dropFor_ <= 0) {  // back on the line, freshly restarted
        dropAfter_ = -1;
        ++restarts_;
        RevertBaud();
    }
    return true;
}

void CommandDevice::HandleLine(const std::string& line) {
    if (line.empty()) return;  // a bare carriage return only wakes the line up
    lines_.push_back(line);
    if (DropsThisLine() || silent_) return;
    if (dropAfter_ > 0) --dropAfter_;
    ++answered_;
    if (errorsLeft_ != 0) {
        if (errorsLeft_ > 0) --errorsLeft_;
        Answer(Reply::Error());
        return;
    }
    const size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string args = space == std::string::npos ? std::string() : line.substr(space + 1);
    Answer(Dispatch(word, args));
}

Reply CommandDevice::Dispatch(const std::string& word, const std::string& args) {
    if (auto it = commands_.find(word); it != commands_.end()) return it->second(args);
    std::string key, value;
    if (word == "get") {
        SplitKeyValue(args, &key, &value);
        return Get(key);
    }
    if (word == "set") {
        SplitKeyValue(args, &key, &value);
        return Set(key, value);
    }
    if (word == "boot") {
        if (bootHook_) {
            Reply reply = Reply::Raw(bootHook_(args));
            reply.after = afterBoot_;
            return reply;
        }
        return Reply::Text("KorrBSL MISSING");
    }
    return Reply::Error();
}

Reply CommandDevice::Get(const std::string& key) {
    if (auto it = getters_.find(key); it != getters_.end()) return it->second();
    if (settings_.Knows(key)) return Reply::Text(settings_.Get(key));
    return Reply::Error();
}

Reply CommandDevice::Set(const std::string& key, const std::string& value) {
    if (auto it = setters_.find(key); it != setters_.end()) return it->second(value);
    if (key == "baud" && baudChange_ && link_ != nullptr) return SetBaud(value);
    return settings_.Set(key, value) ? Reply::Ok() : Reply::Error();
}

Reply CommandDevice::SetBaud(const std::string& value) {
    char* end = nullptr;
    const long code = std::strtol(value.c_str(), &end, 10);
    const uint32_t rate = end != value.c_str() ? DeviceBaudFromCode(static_cast<int>(code)) : 0;
    if (rate == 0) return Reply::Error();
    pendingBaud_ = rate;  // switched once the answer has left at the old rate
    return Reply::Ok();
}

std::string CommandDevice::Format(const Reply& reply) const {
    switch (reply.kind) {
        case Reply::Kind::Text:
            return "\r" + reply.text + "\r" + prompt_;
        case Reply::Kind::Raw:
            return reply.text;
        case Reply::Kind::None:
            break;
    }
    return {};
}

void CommandDevice::Answer(const Reply& reply) {
    const uint32_t newBaud = pendingBaud_;
    pendingBaud_ = 0;
    if (reply.kind == Reply::Kind::None) return;
    loop_.After(replyDelay_, [this, bytes = Format(reply), newBaud, after = reply.after] {
        if (link_ == nullptr) {
            if (send_) send_(bytes);
        } else {
            link_->DeviceSend(bytes);
            if (newBaud != 0) {
                loop_.At(link_->DeviceTxIdleAt(),
                         [this, newBaud] { link_->SetDeviceBaud(newBaud); });
            }
        }
        if (after) after();
    });
}

}  // namespace korrsim
