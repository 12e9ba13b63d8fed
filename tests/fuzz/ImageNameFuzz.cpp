// Whatever a firmware file is called, reading the image's identity from its name stays within
// the name field and reports a type and version only as the name spells them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "firmware/ImageName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const korr::ImageIdentity id = korr::IdentityFromPath(path.c_str());
    if (strnlen(id.name, sizeof id.name) >= sizeof id.name) __builtin_trap();
    if (id.version < 0) __builtin_trap();
    return 0;
}
