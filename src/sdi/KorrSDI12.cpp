#include "sdi/KorrSDI12.h"

namespace korr {

KorrSDI12::KorrSDI12(KorrLog* logTo, MORVA_Protocol* deviceLink) : log(logTo), link(deviceLink) {}

// The link belongs to the instrument-protocol object; only the references go.
KorrSDI12::~KorrSDI12() = default;

}  // namespace korr
