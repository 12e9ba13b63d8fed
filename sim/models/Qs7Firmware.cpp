#include "models/Qs7Firmware.h"

namespace korrsim {

Qs7Firmware::Qs7Firmware(Link& link, std::string versionReply, std::string accessCode)
    : CommandDevice(link),
      versionReply_(std::move(versionReply)),
      accessCode_(std::move(accessCode)) {
    OnGet("ver", [this] { return Reply::Text(versionReply_); });
    AddCommand("login", [this](const std::string& code) {
        if (code != accessCode_) return Reply::Error();
        loggedIn_ = true;
        ++logins_;
        return Reply::Ok();
    });
    AddCommand("logout", [this](const std::string&) {
        loggedIn_ = false;
        return Reply::Ok();
    });
}

}  // namespace korrsim
