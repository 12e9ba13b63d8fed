// Device names: 1 to 8 printable characters that cannot be mistaken for a command word or
// break the command line they are sent in.
#include <cstring>
#include <string_view>

#include "device/MORVA_Protocol.h"

namespace korr {

namespace {

constexpr size_t kMaxDeviceName = kDeviceNameCapacity - 1;

// Words the firmware would take as a command or a reply.
constexpr std::string_view kReservedNames[] = {
    "ERROR", "Unsupported", "volt",   "show", "yes",  "hertz", "time", "dump", "erase",
    "login", "logout",      "query",  "help", "temp", "scan",  "term", "ping", "post",
    "get",   "set",         "teltst", "ack",  "nack", "OK",    "boot"};

// Characters that the firmware's command parser or a file name would trip over.
constexpr std::string_view kForbiddenChars = "?\\\"/<>*|:;,";

}  // namespace

int32_t CheckDeviceName(const char* name) {
    if (name == nullptr || name[0] == '\0') return -53;
    const size_t length = strnlen(name, kMaxDeviceName + 1);
    if (length > kMaxDeviceName) return -54;
    const std::string_view text(name, length);
    for (std::string_view reserved : kReservedNames) {
        if (text == reserved) return -52;
    }
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < '!' || c == 127 || c == 255) return -50;
        if (kForbiddenChars.find(ch) != std::string_view::npos) return -51;
        if (c >= 128) return -56;
    }
    return 1;
}

}  // namespace korr
