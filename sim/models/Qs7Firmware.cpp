#include "models/Qs7Firmware.h"

#include "models/CommandFirmware.h"

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

std::unique_ptr<InstrumentFirmware> MakeCommandLanguageFirmware(Link& link,
                                                                std::string versionReply,
                                                                bool hasLoader) {
    auto device = std::make_unique<Qs7Firmware>(link, std::move(versionReply));
    return std::make_unique<CommandFirmware>(
        std::move(device), hasLoader, [](CommandDevice& firmware, const BootImage& image) {
            // New firmware reports what its identity block says.
            if (image.code.empty()) return;
            static_cast<Qs7Firmware&>(firmware).SetVersionReply(image.code + " " + image.version);
        });
}

}  // namespace korrsim
