#pragma once
// The application firmware of the "QS7" instrument on its command line: it reports itself to
// "get -ver" ("QS7 3.60"), takes the access-code login ("login *8173"), and answers the boot
// command through the hook of the instrument it runs in.

#include <memory>
#include <string>

#include "core/Link.h"
#include "models/CommandDevice.h"
#include "models/InstrumentFirmware.h"

namespace korrsim {

inline constexpr const char* kQs7AccessCode = "*8173";

class Qs7Firmware : public CommandDevice {
  public:
    explicit Qs7Firmware(Link& link, std::string versionReply = "QS7 3.60",
                         std::string accessCode = kQs7AccessCode);

    // The firmware an instrument boots reports its own version.
    void SetVersionReply(std::string reply) { versionReply_ = std::move(reply); }
    const std::string& VersionReply() const { return versionReply_; }
    bool LoggedIn() const { return loggedIn_; }
    int Logins() const { return logins_; }

  private:
    std::string versionReply_;
    std::string accessCode_;
    bool loggedIn_ = false;
    int logins_ = 0;
};

// An instrument's command-language firmware: it reports `versionReply` ("QS7 3.55", "QE8
// 2.10"), and once an update restarted it, whatever the new image's identity block says. Without
// a loader it answers the boot command "KorrBSL MISSING".
std::unique_ptr<InstrumentFirmware> MakeCommandLanguageFirmware(Link& link,
                                                                std::string versionReply,
                                                                bool hasLoader = true);

}  // namespace korrsim
