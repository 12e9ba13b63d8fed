#include <new>

#include "firmware/TIText.h"

namespace korr {

namespace {

// A file read into a C string ends at its first NUL.
std::string_view UpToNul(std::string_view contents) {
    return contents.substr(0, contents.find('\0'));
}

// The new image while it is being built; becomes the image only when the whole file was good.
struct Builder {
    TITextContents contents;
    bool vectorsSeen = false;
};

// Appends the hex digits of `data` (anything else is skipped) with each byte pair swapped, so
// that every word is written high byte first. A section ending inside a word is completed with
// 'F' digits: a lone last byte becomes a word whose high byte is 0xFF.
void AppendDataWords(std::string& text, std::string_view data) {
    char group[4];
    int n = 0;
    for (char c : data) {
        if (!IsHexDigit(c)) continue;
        group[n++] = c;
        if (n == 4) {
            const char word[4] = {group[2], group[3], group[0], group[1]};
            text.append(word, 4);
            n = 0;
        }
    }
    if (n == 1) {
        const char word[4] = {'F', 'F', group[0], 'F'};
        text.append(word, 4);
    } else if (n == 2) {
        const char word[4] = {'F', 'F', group[0], group[1]};
        text.append(word, 4);
    } else if (n == 3) {
        const char word[4] = {group[2], 'F', group[0], group[1]};
        text.append(word, 4);
    }
}

void AppendAddress(std::string& text, uint32_t address) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text.push_back('@');
    for (int shift = 16; shift >= 0; shift -= 4) text.push_back(kDigits[(address >> shift) & 0xF]);
}

// Stores the words of a vector section from the vector at `address` on. A section that ends
// inside a word, or runs past the last vector, cannot be stored whole and is not valid.
bool StoreVectors(uint32_t* vectors, uint32_t address, std::string_view data) {
    uint32_t index = (address - kVectorBase) / 2;
    uint32_t group[4];
    int n = 0;
    for (char c : data) {
        if (!IsHexDigit(c)) continue;
        group[n++] = HexValue(c);
        if (n < 4) continue;
        if (index >= static_cast<uint32_t>(kVectorCount)) return false;
        vectors[index++] = group[2] << 12 | group[3] << 8 | group[0] << 4 | group[1];
        n = 0;
    }
    return n == 0;
}

// Reads the section's start address: '@', optional blanks, hex digits. An address wider than
// five digits does not fit the image text and makes the file not valid.
bool ReadAddress(std::string_view section, uint32_t* address) {
    size_t i = 1;
    while (i < section.size() && (section[i] == ' ' || section[i] == '\t')) ++i;
    const size_t first = i;
    uint32_t value = 0;
    for (; i < section.size() && IsHexDigit(section[i]); ++i) {
        value = value << 4 | HexValue(section[i]);
        if (value > kMaxSegmentAddress) return false;
    }
    *address = value;
    return i > first;
}

// One section, from its '@' up to the next '@' or the 'q'.
bool ParseSection(std::string_view section, Builder& builder) {
    uint32_t address = 0;
    if (!ReadAddress(section, &address)) return false;
    // The rest of the address line is ignored; the data start on the next line.
    const size_t lineEnd = section.find('\n');
    if (lineEnd == std::string_view::npos) return false;
    const std::string_view data = section.substr(lineEnd + 1);

    const bool isVector = address >= kVectorBase && address <= kVectorLast;
    if (!isVector && address >= kLoaderAreaStart && address <= kLoaderAreaLast) return true;
    // Words live at even addresses; an odd start would shift every byte of the section.
    if (address % 2 != 0) return false;
    if (isVector) {
        builder.vectorsSeen = true;
        return StoreVectors(builder.contents.vectors, address, data);
    }
    AppendAddress(builder.contents.text, address);
    AppendDataWords(builder.contents.text, data);
    return true;
}

// On failure *stoppedAt is the offset of the section that could not be read, or the body's
// end when the vector table is missing.
int32_t ParseBody(std::string_view body, TITextContents& out, size_t* stoppedAt) {
    Builder builder;
    for (uint32_t& v : builder.contents.vectors) v = kUnsetVector;
    builder.contents.text.reserve(body.size() + body.size() / 8 + 16);
    size_t pos = 0;
    while (pos < body.size()) {
        size_t next = body.find('@', pos + 1);
        if (next == std::string_view::npos) next = body.size();
        if (!ParseSection(body.substr(pos, next - pos), builder)) {
            *stoppedAt = pos;
            return kNotTIText;
        }
        pos = next;
    }
    if (!builder.vectorsSeen) {
        *stoppedAt = body.size();
        return kNotTIText;
    }
    out = std::move(builder.contents);
    return 1;
}

}  // namespace

bool LooksLikeTIText(std::string_view contents) {
    contents = UpToNul(contents);
    return !contents.empty() && contents[0] == '@' && contents.find('q') != std::string_view::npos;
}

int32_t ParseTIText(std::string_view contents, TITextContents& out) {
    size_t stoppedAt = 0;
    return ParseTIText(contents, out, &stoppedAt);
}

int32_t ParseTIText(std::string_view contents, TITextContents& out, size_t* stoppedAt) {
    contents = UpToNul(contents);
    if (!LooksLikeTIText(contents)) {
        // No '@' at the start stops at once; no 'q' only at the end.
        *stoppedAt = !contents.empty() && contents[0] == '@' ? contents.size() : 0;
        return kNotTIText;
    }
    try {
        return ParseBody(contents.substr(0, contents.find('q')), out, stoppedAt);
    } catch (const std::bad_alloc&) {
        *stoppedAt = 0;
        return kImageNoMemory;
    }
}

uint32_t TITextStopLine(std::string_view contents) {
    TITextContents scratch;
    size_t stoppedAt = 0;
    if (ParseTIText(contents, scratch, &stoppedAt) != kNotTIText) return 0;
    uint32_t line = 1;
    for (size_t i = 0; i < stoppedAt && i < contents.size(); ++i) {
        if (contents[i] == '\n') ++line;
    }
    // A file that ends with its last line's end stops after it, not on a line of its own.
    if (stoppedAt > 0 && stoppedAt >= contents.size() && contents.back() == '\n') --line;
    return line;
}

}  // namespace korr
