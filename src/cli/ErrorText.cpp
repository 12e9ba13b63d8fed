#include "cli/ErrorText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

namespace korrcli {

int ReportError(int32_t code, const char* meaning) {
    std::fprintf(stderr, "error %d: %s\n", code, meaning);
    return kExitFailed;
}

const char* PortErrorMeaning(int32_t code) {
    switch (-code) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "the port is not available";
        case EBUSY:
        case EWOULDBLOCK:
            return "the port is in use by another program";
        case EACCES:
            return "no permission to open the port (is your user in the dialout group?)";
        default:
            return nullptr;
    }
}

const char* SystemErrorMeaning(int32_t code) {
    if (code < 0 && code > -4096) return std::strerror(-code);
    return "unexpected error";
}

}  // namespace korrcli
