#pragma once
// What the campaign's seeds share: a data folder of their own and the judge of the flash.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "firmware/FirmwareImage.h"
#include "models/Flash.h"

namespace korrcampaign {

// A data folder of its own for each seed, in memory where the system has it.
class Folder {
  public:
    Folder() {
        char inMemory[] = "/dev/shm/korr_campaign_XXXXXX";
        char onDisk[] = "/tmp/korr_campaign_XXXXXX";
        const char* made = ::mkdtemp(inMemory);
        if (made == nullptr) made = ::mkdtemp(onDisk);
        path_ = made != nullptr ? made : "";
    }
    ~Folder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Whether the flash holds exactly the bytes and vectors of the image; what differs in *why.
bool FlashHolds(const korrsim::Flash& flash, const korr::FirmwareImage& image, std::string* why);

}  // namespace korrcampaign
