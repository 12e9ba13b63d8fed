// Whatever a TI-Text file holds, opening it either gives a well-formed image that survives a
// round trip through standard TI-Text, or leaves the image exactly as it was.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "firmware/ImageName.h"
#include "firmware/ImageSegments.h"
#include "firmware/TIText.h"

namespace {

bool SameImage(const korr::FirmwareImage& a, const korr::FirmwareImage& b) {
    return std::strcmp(a.name, b.name) == 0 && a.version == b.version && a.type == b.type &&
           a.status == b.status && a.length == b.length && a.text == b.text &&
           std::equal(std::begin(a.vectors), std::end(a.vectors), std::begin(b.vectors));
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

void CheckLoadedImage(const korr::FirmwareImage& image) {
    std::vector<korr::ImageSegment> segments;
    if (korr::ListImageSegments(image.text, segments) != 1) __builtin_trap();
    if (image.length != image.text.size()) __builtin_trap();
    for (uint32_t v : image.vectors) {
        if (v > 0xFFFF) __builtin_trap();
    }
    std::string standard;
    if (korr::FormatStandardTIText(image, standard) != 1) __builtin_trap();
    korr::TITextContents back;
    if (korr::ParseTIText(standard, back) != 1) __builtin_trap();
    if (back.text != Upper(image.text)) __builtin_trap();
    if (!std::equal(std::begin(back.vectors), std::end(back.vectors), std::begin(image.vectors))) {
        __builtin_trap();
    }
    std::string dump;
    if (korr::FormatImageDump(image, dump) != 1) __builtin_trap();
}

}  // namespace

// The file each input is written to, removed when the run ends.
struct InputFile {
    std::string path = "/tmp/fuzz_ti_file-" + std::to_string(getpid()) + ".txt";
    ~InputFile() { std::remove(path.c_str()); }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static korr::KorrBSLHost host(nullptr);
    static const InputFile input;
    const std::string& path = input.path;

    const std::string contents(reinterpret_cast<const char*>(data), size);
    (void)korr::IdentityFromPath(contents.c_str());

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    const korr::FirmwareImage before = host.image;
    const int32_t loaded = host.BSLLoadTIFile(path.c_str());
    if (loaded == 1) {
        CheckLoadedImage(host.image);
    } else if (!SameImage(before, host.image)) {
        __builtin_trap();
    }
    // A file refused as not TI-Text tells a line inside it where reading stopped.
    const uint32_t line = korr::TITextStopLine(contents);
    if ((loaded == korr::kNotTIText) != (line != 0)) __builtin_trap();
    if (line > static_cast<uint32_t>(std::count(contents.begin(), contents.end(), '\n')) + 1) {
        __builtin_trap();
    }
    return 0;
}
