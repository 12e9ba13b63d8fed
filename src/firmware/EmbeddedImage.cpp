#include "firmware/EmbeddedImage.h"

#include <cstring>
#include <new>

#include "common/FixedText.h"

namespace korr {

namespace {

constexpr int32_t kDamaged = -101;
constexpr int32_t kNoMemory = -60;
constexpr size_t kMaxNameChars = kImageNameCapacity - 1;

}  // namespace

int32_t ImageTextSum(std::string_view text) {
    uint32_t sum = 0;  // unsigned, so that a wrapping total is well defined
    for (char c : text) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
    return static_cast<int32_t>(sum);
}

int32_t BuildEmbeddedImage(FirmwareImage& image, const EmbeddedImage& embedded) {
    image.status = 0;
    CopyText(image.name, embedded.name, kMaxNameChars);
    image.type = embedded.type;
    std::memcpy(image.vectors, embedded.vectors, sizeof image.vectors);

    // The expected number of characters is copied whatever the stored text holds, so that the
    // sum covers exactly what will be sent; only what is really stored is read.
    const std::string_view stored = embedded.text;
    try {
        image.text.assign(embedded.length, '\0');
    } catch (const std::bad_alloc&) {
        image.text.clear();
        image.length = 0;
        return image.status = kNoMemory;
    }
    stored.copy(image.text.data(), embedded.length);
    image.length = embedded.length;

    if (strnlen(stored.data(), stored.size()) != embedded.length) image.status = kDamaged;
    if (ImageTextSum(image.text) != embedded.sum) image.status = kDamaged;
    return image.status;
}

}  // namespace korr
