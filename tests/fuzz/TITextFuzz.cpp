// Whatever a TI-Text file holds, opening it either gives a well-formed image that survives a
// round trip through standard TI-Text and came from a file with nothing unreadable in it, or
// leaves the image exactly as it was and says where reading stopped.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "device/DeviceTypes.h"
#include "firmware/ImageFit.h"
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

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool AllHex(std::string_view token) {
    return !token.empty() &&
           std::all_of(token.begin(), token.end(), [](char c) { return korr::IsHexDigit(c); });
}

// What a file that loads must look like, read without the reader: up to the first NUL, only
// address lines ('@' and hex digits, the rest of the line blank), bytes of two hex digits, one
// 'q', and nothing but blank space after it. A reader that skipped what it could not read would
// load a file this refuses.
bool OnlyWellFormedTokens(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    size_t i = 0;
    bool lineMustEnd = false;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            if (text[i] == '\n') lineMustEnd = false;
            ++i;
            continue;
        }
        if (lineMustEnd) return false;
        size_t end = i;
        while (end < text.size() && !IsSpace(text[end])) ++end;
        const std::string_view token = text.substr(i, end - i);
        i = end;
        if (token == "q") {
            for (; i < text.size(); ++i) {
                if (!IsSpace(text[i])) return false;
            }
            return true;
        }
        if (token[0] == '@') {
            if (!AllHex(token.substr(1))) return false;
            lineMustEnd = true;
        } else if (token.size() != 2 || !AllHex(token)) {
            return false;
        }
    }
    return false;  // no 'q'
}

// The fit check takes any image that loaded, against every memory map of the table.
void CheckFit(const korr::FirmwareImage& image) {
    for (int type = 0; type < korr::kDeviceTypeEnd; ++type) {
        korr::ImageFitProblem problem;
        const int32_t r =
            korr::CheckImageFit(image, korr::TargetMemoryOf(korr::DeviceTypeInfo(type)), &problem);
        if (r != 1 && r != korr::kImageDoesNotFit) __builtin_trap();
        if ((r == 1) != (problem.fault == korr::ImageFitFault::None)) __builtin_trap();
        if (problem.first > problem.last) __builtin_trap();
    }
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
    korr::TITextStop stop;
    const int32_t loaded = host.BSLLoadTIFile(path.c_str(), &stop);
    if (loaded == 1) {
        CheckLoadedImage(host.image);
        if (!OnlyWellFormedTokens(contents)) __builtin_trap();
        CheckFit(host.image);
    } else if (!SameImage(before, host.image)) {
        __builtin_trap();
    }
    if ((loaded == korr::kNotTIText) != (stop.fault != korr::TITextFault::None)) __builtin_trap();
    if (stop.offset > contents.size() || stop.token.size() > 16) __builtin_trap();
    // A file refused as not TI-Text tells a line inside it where reading stopped.
    const uint32_t line = korr::TITextStopLine(contents);
    if ((loaded == korr::kNotTIText) != (line != 0)) __builtin_trap();
    if (line > static_cast<uint32_t>(std::count(contents.begin(), contents.end(), '\n')) + 1) {
        __builtin_trap();
    }
    return 0;
}
