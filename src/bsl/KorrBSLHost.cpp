#include "bsl/KorrBSLHost.h"

#include "firmware/BuiltinImage.h"
#include "serial/Clock.h"

namespace korr {

KorrBSLHost::KorrBSLHost(KorrLog* logTo) : port(logTo), log(logTo) {
    BuildEmbeddedImage(image, kBuiltinImage);
}

KorrBSLHost::~KorrBSLHost() {
    BSLDisconnect();
}

int32_t KorrBSLHost::BSLDisconnect() {
    if (!connected) return 0;
    int32_t r = KSClose(port);
    connected = false;
    DelayMs(100);
    return r;
}

}  // namespace korr
