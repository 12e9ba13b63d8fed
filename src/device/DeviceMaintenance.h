#pragma once
// Device operations beside the settings: the clock, erasing stored data, and the radio module's
// configuration through its AT command mode.

#include <cstdint>

#include "device/MORVA_Protocol.h"

namespace korr {

// KorrSeconds: seconds since 2000-01-01 00:00:00 in the host's local time.
inline constexpr int64_t kKorrEpochUnix = 946684800;  // 2000-01-01 in seconds since 1970

// mode 1 sets the device clock from seconds, or from the host clock when seconds is null or 0
// (the value used is written back); mode 0 reads it. Without the clock capability: -1 and
// seconds -1.
int32_t DeviceTime(MORVA_Protocol& link, int32_t* seconds, int mode);

// Confirms the erasure of a logger's stored data, but only after checking that the device
// answering is the one logged in. 1, -37 (identity), -65 (broken data memory) or another error.
int32_t EraseData(MORVA_Protocol& link);

// Tm8Config, the radio module's configuration through its AT command mode, is declared with
// the link (the connect needs it); it returns -23 when the module does not enter command mode
// and -35 when only some items were done.

}  // namespace korr
