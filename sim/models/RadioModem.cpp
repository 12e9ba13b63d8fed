#include "models/RadioModem.h"

#include <cstdio>
#include <cstdlib>

namespace korrsim {

namespace {

constexpr TimeUs kModemReplyDelay = 10 * kUsPerMs;
constexpr TimeUs kCommandModeTimeout = 10'000 * kUsPerMs;  // the modem drops back to data mode
constexpr TimeUs kRadioReplyDelay = 100 * kUsPerMs;        // the air is slower than the cable
constexpr size_t kMaxAtLine = 64;

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

int ParseHex(const std::string& text, bool* ok) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 16);
    *ok = !text.empty() && end != nullptr && *end == '\0' && value >= 0 && value <= 0xFFFF;
    return static_cast<int>(value);
}

}  // namespace

RadioModem::RadioModem(Link& link, int channel, int subchannel, std::string version)
    : link_(link), channel_(channel), subchannel_(subchannel), version_(std::move(version)) {}

bool RadioModem::Tuned() const {
    return remote_ != nullptr && remote_->Channel() == channel_ &&
           remote_->Subchannel() == subchannel_;
}

void RadioModem::ToAir(uint8_t byte) {
    if (Tuned()) remote_->OnByte(byte);
}

void RadioModem::FromAir(std::string_view bytes) {
    if (Tuned()) link_.DeviceSend(bytes);
}

void RadioModem::AnswerAt(std::string text) {
    if (silent_) return;
    link_.Loop().After(kModemReplyDelay,
                       [this, text = std::move(text)] { link_.DeviceSend(text); });
}

void RadioModem::OnByte(uint8_t byte) {
    const TimeUs now = link_.Loop().Now();
    if (commandMode_ && now - commandSince_ > kCommandModeTimeout) commandMode_ = false;
    if (commandMode_) {
        commandSince_ = now;
        if (byte == '\n') return;
        if (byte != '\r') {
            if (atLine_.size() < kMaxAtLine) atLine_.push_back(static_cast<char>(byte));
            return;
        }
        std::string line = std::move(atLine_);
        atLine_.clear();
        HandleAt(line);
        return;
    }
    if (byte == '+') {
        if (++plusRun_ == 3) {
            plusRun_ = 0;
            commandMode_ = true;
            commandSince_ = now;
            atLines_.push_back("+++");
            AnswerAt("OK\r");
        }
        return;
    }
    for (; plusRun_ > 0; --plusRun_) ToAir('+');  // not an escape after all
    ToAir(byte);
}

void RadioModem::HandleAt(const std::string& line) {
    if (line.empty()) return;
    atLines_.push_back(line);
    const std::string command = line.substr(0, 4);
    const std::string value = line.size() > 4 ? line.substr(4) : std::string();
    bool ok = true;
    if (command == "ATHP" || command == "ATDT") {
        int& target = command == "ATHP" ? channel_ : subchannel_;
        if (value.empty()) {
            AnswerAt(Hex(target) + "\r");
            return;
        }
        int parsed = ParseHex(value, &ok);
        if (ok) target = parsed;
        AnswerAt(ok ? "OK\r" : "ERROR\r");
    } else if (command == "ATVR" && value.empty()) {
        AnswerAt(version_ + "\r");
    } else if (command == "ATWR" && value.empty()) {
        saved_ = true;
        AnswerAt("OK\r");
    } else if (command == "ATCN" && value.empty()) {
        commandMode_ = false;
        AnswerAt("OK\r");
    } else {
        AnswerAt("ERROR\r");
    }
}

RadioLogger::RadioLogger(RadioModem& modem, std::span<const LoggerKey> keys,
                         std::string versionReply)
    : Logger(
          modem.Loop(), [&modem](std::string_view bytes) { modem.FromAir(bytes); }, keys,
          std::move(versionReply)),
      modem_(modem) {
    SetReplyDelay(kRadioReplyDelay);
    modem_.SetRemote(this);
    AddCommand("query", [this](const std::string&) { return Reply::Raw(Name() + "\r>"); });
    AddCommand("login", [this](const std::string& name) {
        if (!name.empty() && name != Name()) return Reply::None();  // another device's login
        loggedIn_ = true;
        return Reply::Ok();
    });
    AddCommand("logout", [this](const std::string&) {
        if (!ignoreLogout_) Sleep();
        return Reply::None();
    });
}

RadioLogger::~RadioLogger() {
    modem_.SetRemote(nullptr);
}

int RadioLogger::Channel() const {
    bool ok = false;
    int value = ParseHex(Settings().Get("rch"), &ok);
    return ok ? value : -1;
}

int RadioLogger::Subchannel() const {
    bool ok = false;
    int value = ParseHex(Settings().Get("rsch"), &ok);
    return ok ? value : -1;
}

void RadioLogger::Sleep() {
    asleep_ = true;
    loggedIn_ = false;
    carriageReturns_ = 0;
}

void RadioLogger::WakeUp() {
    asleep_ = false;
    ++wakes_;
    lastHeard_ = modem_.Loop().Now();
}

void RadioLogger::OnByte(uint8_t byte) {
    const TimeUs now = modem_.Loop().Now();
    if (!asleep_ && now - lastHeard_ > awakeTimeout_) Sleep();
    lastHeard_ = now;
    if (asleep_) {
        // Asleep, it only listens for the wake sequence.
        carriageReturns_ = byte == '\r' ? carriageReturns_ + 1 : 0;
        if (carriageReturns_ >= wakeThreshold_) WakeUp();
        return;
    }
    Logger::OnByte(byte);
}

void RadioLogger::HandleLine(const std::string& line) {
    const std::string word = line.substr(0, line.find(' '));
    if (!loggedIn_ && word != "query" && word != "login") return;
    Logger::HandleLine(line);
}

}  // namespace korrsim
