#pragma once
// TI-Text files: reading one into image form, and the two ways of writing an image back out.

#include <cstdint>
#include <string>
#include <string_view>

#include "firmware/FirmwareImage.h"

namespace korr {

inline constexpr int32_t kNotTIText = -100;  // not a valid TI-Text file
inline constexpr int32_t kImageNoMemory = -60;
inline constexpr int32_t kImageDamaged = -101;  // the image text is not in image-text form

// The highest address an image-text segment can name (five hex digits).
inline constexpr uint32_t kMaxSegmentAddress = 0xFFFFF;
// The loader's own area: sections starting here are not part of any image.
inline constexpr uint32_t kLoaderAreaStart = 0xFA00;
inline constexpr uint32_t kLoaderAreaLast = 0xFDFE;
inline constexpr uint32_t kVectorLast = 0xFFFE;

// What a TI-Text file holds, in the form the image keeps it.
struct TITextContents {
    std::string text;
    uint32_t vectors[kVectorCount] = {};
};

// The quick test made before parsing: the file starts with '@' and has a 'q' somewhere.
// The contents end at the first NUL, as a file read into a C string would.
bool LooksLikeTIText(std::string_view contents);

// Why a file is not valid TI-Text. Beyond the quick test, every token is read: a data byte is
// exactly two hex digits, an address line is '@' and hex digits, no byte is given twice, and
// nothing but blank space follows the 'q'.
enum class TITextFault : uint8_t {
    None,
    NotTIText,        // no '@' at the start, or no 'q' anywhere (the quick test)
    BadAddress,       // an address line that is not '@' and hex digits
    AddressTooHigh,   // an address, or data, beyond what five hex digits can name
    OddAddress,       // a section starting at an odd address
    NoDataLine,       // no line feed after the address
    BadToken,         // a data token that is not two hex digits
    Overlap,          // data at addresses that earlier data already gave
    VectorsCutShort,  // a vector section ending inside a word
    VectorsPastEnd,   // a vector section running past 0xFFFE
    NoVectors,        // no vector section
    NoEnd,            // no 'q' line
    AfterEnd,         // something other than blank space after the 'q'
};

// Where reading a file stopped and why; `token` is the text found there (cut to 16 characters)
// and `address` the byte address it concerns, where that tells more.
struct TITextStop {
    TITextFault fault = TITextFault::None;
    size_t offset = 0;
    uint32_t line = 0;  // the line holding `offset`, counting from 1
    std::string token = {};
    uint32_t address = 0;
};

// Parses a whole TI-Text file. Returns 1 with `out` filled, kNotTIText when the file is not
// valid, kImageNoMemory when memory runs out. `out` is only touched on success; `stop`, when
// given, says where and why a file that is not valid stopped.
int32_t ParseTIText(std::string_view contents, TITextContents& out, TITextStop* stop = nullptr);
// The line (counting from 1) holding `offset` of `contents`; an offset at the very end of a file
// that ends with a line feed belongs to its last line.
uint32_t LineOfOffset(std::string_view contents, size_t offset);
// The line (counting from 1) on which reading a file that is not valid TI-Text stopped; 0 when
// the file is valid or could not be judged.
uint32_t TITextStopLine(std::string_view contents);

// The dump form: the image text's own word order, 32 digits a line, then the vector block;
// no 'q' line. Returns 1, or kImageNoMemory.
int32_t FormatImageDump(const FirmwareImage& image, std::string& out);

// Standard TI-Text: bytes low address first, 16 a line separated by blanks, the vector table at
// 0xFFE0 and a closing 'q' line, so that any TI-Text reader gets the image's bytes back.
// Returns 1, kImageNoMemory, or kImageDamaged when the image text is malformed.
int32_t FormatStandardTIText(const FirmwareImage& image, std::string& out);

// Hex digit helpers shared by the readers and writers of this library.
constexpr bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
constexpr uint32_t HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
    return static_cast<uint32_t>(c - 'a' + 10);
}

}  // namespace korr
