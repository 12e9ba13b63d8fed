#pragma once
// The loader part of an update as the update runs it: connect, erase the information memory and
// the flash, program, vectors, disconnect. The first failure ends it.

#include <cstdint>

#include "bsl/KorrBSLHost.h"
#include "device/DeviceTypes.h"

namespace korrtest {

inline int32_t RunLoaderUpdate(korr::KorrBSLHost& host, const char* port,
                               const korr::DeviceTypeRow& row) {
    int32_t r = host.BSLConnect(port, row.loaderBaud, true, 3);
    if (r >= 0)
        r = host.BSLEraseINFO(row.infoStart, row.infoSegments, row.infoSegmentSize,
                              row.twentyBitAddresses);
    if (r >= 0) r = host.BSLEraseFlash(row.flashStart, row.flashEnd, row.twentyBitAddresses);
    if (r >= 0) r = host.BSLSendFirmware(row.twentyBitAddresses);
    if (r >= 0) r = host.BSLSendVectors();
    host.BSLDisconnect();
    return r;
}

}  // namespace korrtest
