#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "common/FixedText.h"
#include "firmware/ImageSegments.h"
#include "firmware/TIText.h"

namespace korr {

namespace {

constexpr int kDumpDigitsPerLine = 32;
constexpr uint32_t kBytesPerLine = 16;
constexpr size_t kAddressDigits = 5;

// Upper-case hex with at least `digits` digits, as "%0*X" would write it.
void AppendHex(std::string& out, uint32_t value, int digits) {
    char field[16];
    out.append(field, FormatText(field, sizeof field, "%0*X", digits, value));
}

void AppendDumpVectors(std::string& out, const uint32_t* vectors) {
    out += "\n@";
    AppendHex(out, kVectorBase, 1);
    out += '\n';
    for (int i = 0; i < kVectorCount; ++i) {
        AppendHex(out, vectors[i], 4);
        if (i % 8 == 7) out.push_back('\n');
    }
}

// Bytes in lines of 16 separated by blanks, each line ended by a line feed.
template <typename ByteAt>
void AppendByteLines(std::string& out, uint32_t count, ByteAt byteAt) {
    for (uint32_t i = 0; i < count; ++i) {
        AppendHex(out, byteAt(i), 2);
        out.push_back((i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == count) ? '\n' : ' ');
    }
}

void AppendStandardSegment(std::string& out, std::string_view text, const ImageSegment& segment) {
    out += '@';
    AppendHex(out, segment.address, segment.address > 0xFFFF ? 5 : 4);
    out += '\n';
    AppendByteLines(out, segment.Bytes(),
                    [&](uint32_t i) -> uint32_t { return SegmentByte(text, segment, i); });
}

}  // namespace

int32_t FormatImageDump(const FirmwareImage& image, std::string& out) {
    std::string_view text(image.text.c_str(), image.text.size());
    text = text.substr(0, std::min<size_t>(text.find('\0'), image.length));
    try {
        out.clear();
        out.reserve(text.size() + text.size() / kDumpDigitsPerLine + 128);
        int column = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '@') {
                // '@' and the address digits as they stand, then the words on the next line.
                out.append(text.substr(i, 1 + kAddressDigits));
                out.push_back('\n');
                i += kAddressDigits;
                column = 0;
                continue;
            }
            out.push_back(text[i]);
            if (++column == kDumpDigitsPerLine) {
                out.push_back('\n');
                column = 0;
            }
        }
        AppendDumpVectors(out, image.vectors);
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    return 1;
}

int32_t FormatStandardTIText(const FirmwareImage& image, std::string& out) {
    std::string_view text(image.text.c_str(), image.text.size());
    text = text.substr(0, std::min<size_t>(text.size(), image.length));
    try {
        std::vector<ImageSegment> segments;
        const int32_t r = ListImageSegments(text, segments);
        if (r != 1) return r;
        out.clear();
        out.reserve(text.size() * 3 / 2 + 256);
        for (const ImageSegment& segment : segments) AppendStandardSegment(out, text, segment);
        out += '@';
        AppendHex(out, kVectorBase, 4);
        out += '\n';
        AppendByteLines(out, kVectorCount * 2, [&](uint32_t i) -> uint32_t {
            const uint32_t word = image.vectors[i / 2];
            return (i % 2 == 0 ? word : word >> 8) & 0xFF;
        });
        out += "q\n";
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    return 1;
}

}  // namespace korr
