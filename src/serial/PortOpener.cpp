#include "serial/PortLink.h"
#include "serial/PosixPort.h"

namespace korr {

namespace {
PortOpener& OpenerSlot() {
    static PortOpener opener;
    return opener;
}
}  // namespace

int32_t OpenSystemPort(const char* name, std::unique_ptr<PortLink>& out) {
    return PosixPort::Open(name, out);
}

int32_t OpenPortLink(const char* name, std::unique_ptr<PortLink>& out) {
    const PortOpener& opener = OpenerSlot();
    return opener ? opener(name, out) : OpenSystemPort(name, out);
}

PortOpener SetPortOpener(PortOpener opener) {
    PortOpener previous = std::move(OpenerSlot());
    OpenerSlot() = std::move(opener);
    return previous;
}

}  // namespace korr
