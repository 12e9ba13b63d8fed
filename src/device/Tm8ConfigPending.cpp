// Stand-in until the maintenance commands land on this branch: the radio module cannot be
// configured yet, which the connect reports as -23.
// TODO(lead): delete this file and its lines in CMakeLists.txt once Tm8Config.cpp is merged.
#include "device/MORVA_Protocol.h"

namespace korr {

int32_t Tm8Config(MORVA_Protocol& /*link*/, int32_t* /*channel*/, int32_t* /*subchannel*/,
                  char* /*versionText*/, int32_t /*mode*/, uint32_t* mask) {
    if (mask != nullptr) *mask = 0;
    return -23;
}

}  // namespace korr
