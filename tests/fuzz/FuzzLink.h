#pragma once
// The device link of a fuzz target: open on the bench's port, a serial connection, each command
// asked once so a run stays short.

#include "device/MORVA_Protocol.h"
#include "serial/KorrSerial.h"

namespace korrtest {

inline bool OpenFuzzLink(korr::MORVA_Protocol& link, const char* port) {
    if (korr::KSOpen(link.port, port, 9600) != 1) return false;
    link.request.linkType = korr::kLinkSerial;
    link.tries = 1;
    return true;
}

}  // namespace korrtest
