// Makes the stand-in firmware images of this folder. We do not ship the maker's firmware, so the
// images are generated: deterministic filler shaped like the real images, with an identity block
// that the simulated instrument reads to "boot" what its flash holds (see README.md).
//
//   korr_make_images <output folder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMemorySize = 0x20000;
constexpr uint32_t kLoaderStart = 0xFA00;  // 0xFA00-0xFFFF: loader and vectors, not image
constexpr uint32_t kLoaderEnd = 0x10000;
constexpr uint32_t kVectorBase = 0xFFE0;
constexpr int kVectors = 16;
constexpr int kResetVector = 15;

// The identity block: magic, device code, version text, image range, integrity word.
constexpr char kMagic[8] = {'K', 'o', 'r', 'r', 'F', 'W', 'I', 'D'};
constexpr uint32_t kEntrySize = 0x10;  // the start-up code in front of the block
constexpr uint32_t kBlockSize = 34;
constexpr uint32_t kCodeOffset = 8;
constexpr uint32_t kVersionOffset = 16;
constexpr uint32_t kStartOffset = 24;
constexpr uint32_t kEndOffset = 28;
constexpr uint32_t kIntegrityOffset = 32;
constexpr size_t kTextField = 8;

struct Range {
    uint32_t start;
    uint32_t end;  // first address after the range
};

struct Handler {
    int vector;
    uint32_t offset;  // from the image's start
};

struct ImageSpec {
    const char* fileName;
    const char* code;
    const char* version;
    uint64_t seed;
    std::array<Range, 2> ranges;
    size_t rangeCount;
    std::array<Handler, 2> handlers;  // interrupt vectors the firmware sets besides reset
    int64_t textSum;                  // sum of the image text's characters to reach; 0: any
};

constexpr ImageSpec kImages[] = {
    {.fileName = "QS7 3-60.txt",
     .code = "QS7",
     .version = "3.60",
     .seed = 0x5137'0360,
     .ranges = {{{0x1100, 0x85FC}}},
     .rangeCount = 1,
     .handlers = {{{4, 0x0240}, {9, 0x0300}}},
     .textSum = 3255391},
    {.fileName = "QS7 3-61.txt",
     .code = "QS7",
     .version = "3.61",
     .seed = 0x5137'0361,
     .ranges = {{{0x1100, 0x8A40}}},
     .rangeCount = 1,
     .handlers = {{{4, 0x0240}, {9, 0x0310}}},
     .textSum = 0},
    {.fileName = "QE8 2-10.txt",
     .code = "QE8",
     .version = "2.10",
     .seed = 0x5145'0210,
     .ranges = {{{0x2100, 0x6000}, {0x10000, 0x13800}}},
     .rangeCount = 2,
     .handlers = {{{5, 0x0400}, {10, 0x0480}}},
     .textSum = 0},
};

// xorshift64*: the same sequence on every machine.
struct Random {
    uint64_t state;
    uint32_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 0x2545F4914F6CDD1DULL) >> 32);
    }
};

// Bytes that turn up often in this processor's code: opcodes, small constants, registers.
constexpr uint8_t kCommonBytes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x08, 0x0F, 0x10, 0x12, 0x13,
                                    0x20, 0x30, 0x31, 0x3C, 0x40, 0x41, 0x43, 0x4E, 0x4F, 0x50,
                                    0x53, 0x83, 0x90, 0x92, 0x93, 0xB0, 0xB2, 0xC2, 0xD2, 0xF0};

using Memory = std::vector<uint8_t>;

void PutWord(Memory& m, uint32_t at, uint32_t word) {
    m[at] = static_cast<uint8_t>(word & 0xFF);
    m[at + 1] = static_cast<uint8_t>(word >> 8);
}

void PutLong(Memory& m, uint32_t at, uint32_t value) {
    PutWord(m, at, value & 0xFFFF);
    PutWord(m, at + 2, value >> 16);
}

void PutText(Memory& m, uint32_t at, const char* text) {
    for (size_t i = 0; i < kTextField; ++i) m[at + i] = 0;
    std::memcpy(&m[at], text, std::min(std::strlen(text), kTextField));
}

uint32_t ImageStart(const ImageSpec& spec) {
    return spec.ranges[0].start;
}
uint32_t ImageEnd(const ImageSpec& spec) {
    return spec.ranges[spec.rangeCount - 1].end;
}
uint32_t BlockAt(const ImageSpec& spec) {
    return ImageStart(spec) + kEntrySize;
}
uint32_t IntegrityAt(const ImageSpec& spec) {
    return BlockAt(spec) + kIntegrityOffset;
}

// Start-up code: set the stack, hold the watchdog, branch past the identity block.
void PutEntry(Memory& m, uint32_t start) {
    const uint32_t words[] = {0x4031, 0x0A00, 0x40B2, 0x5A80, 0x0120, 0x4030, start + 0x40, 0x4303};
    for (uint32_t i = 0; i < 8; ++i) PutWord(m, start + 2 * i, words[i]);
}

void PutBlock(Memory& m, const ImageSpec& spec) {
    const uint32_t at = BlockAt(spec);
    std::memcpy(&m[at], kMagic, sizeof kMagic);
    PutText(m, at + kCodeOffset, spec.code);
    PutText(m, at + kVersionOffset, spec.version);
    PutLong(m, at + kStartOffset, ImageStart(spec));
    PutLong(m, at + kEndOffset, ImageEnd(spec));
    PutWord(m, at + kIntegrityOffset, 0xFFFF);
}

// Every byte of the image that is neither start-up code nor identity block.
std::vector<uint32_t> FillerAddresses(const ImageSpec& spec) {
    std::vector<uint32_t> out;
    const uint32_t fixedEnd = BlockAt(spec) + kBlockSize;
    for (size_t r = 0; r < spec.rangeCount; ++r) {
        for (uint32_t a = spec.ranges[r].start; a < spec.ranges[r].end; ++a) {
            if (a >= fixedEnd || a < ImageStart(spec)) out.push_back(a);
        }
    }
    return out;
}

Memory BaseImage(const ImageSpec& spec, uint64_t salt) {
    Memory m(kMemorySize, 0xFF);
    Random random{spec.seed * 0x9E3779B97F4A7C15ULL + salt + 1};
    for (uint32_t a : FillerAddresses(spec)) {
        const uint32_t r = random.Next();
        m[a] = (r & 3) != 0 ? kCommonBytes[(r >> 8) % sizeof kCommonBytes]
                            : static_cast<uint8_t>(r >> 16);
    }
    PutEntry(m, ImageStart(spec));
    PutBlock(m, spec);
    return m;
}

// CRC-16/CCITT-FALSE (polynomial 0x1021, start 0xFFFF).
uint16_t Crc(uint16_t crc, uint8_t byte) {
    crc ^= static_cast<uint16_t>(byte << 8);
    for (int i = 0; i < 8; ++i) {
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

uint16_t Integrity(const Memory& m, const ImageSpec& spec) {
    uint16_t crc = 0xFFFF;
    const uint32_t skip = IntegrityAt(spec);
    for (uint32_t a = ImageStart(spec); a < ImageEnd(spec); ++a) {
        if ((a >= kLoaderStart && a < kLoaderEnd) || a == skip || a == skip + 1) continue;
        crc = Crc(crc, m[a]);
    }
    return crc;
}

int HexChar(uint32_t nibble) {
    return nibble < 10 ? '0' + static_cast<int>(nibble) : 'A' + static_cast<int>(nibble) - 10;
}

int64_t WordTextSum(uint32_t word) {
    int64_t sum = 0;
    for (int shift = 0; shift < 16; shift += 4) sum += HexChar((word >> shift) & 0xF);
    return sum;
}

// The image text as the updater keeps it: '@' and five address digits per segment, then every
// word high byte first. Returns the sum of its characters.
int64_t ImageTextSum(const Memory& m, const ImageSpec& spec, size_t* length) {
    int64_t sum = 0;
    *length = 0;
    for (size_t r = 0; r < spec.rangeCount; ++r) {
        sum += '@';
        for (int shift = 16; shift >= 0; shift -= 4)
            sum += HexChar((spec.ranges[r].start >> shift) & 0xF);
        *length += 6;
        for (uint32_t a = spec.ranges[r].start; a < spec.ranges[r].end; a += 2) {
            sum += WordTextSum(static_cast<uint32_t>(m[a] | m[a + 1] << 8));
            *length += 4;
        }
    }
    return sum;
}

// Moves the text sum by `change`, one filler digit at a time, visiting the filler in a scattered
// order so that no stretch of the image looks different from the rest.
bool ShiftTextSum(Memory& m, const std::vector<uint32_t>& filler, int64_t change) {
    const size_t nibbles = filler.size() * 2;
    const size_t stride = 7919;  // prime, so the walk visits every digit once
    for (size_t k = 0; k < nibbles && change != 0; ++k) {
        const size_t n = (k * stride) % nibbles;
        uint8_t& byte = m[filler[n / 2]];
        const int shift = (n % 2) ? 4 : 0;
        const uint32_t old = (byte >> shift) & 0xF;
        uint32_t best = old;
        for (uint32_t v = 0; v < 16; ++v) {
            const int64_t delta = HexChar(v) - HexChar(old);
            const int64_t bestDelta = HexChar(best) - HexChar(old);
            if (std::llabs(change - delta) < std::llabs(change - bestDelta)) best = v;
        }
        change -= HexChar(best) - HexChar(old);
        byte = static_cast<uint8_t>((byte & ~(0xF << shift)) | best << shift);
    }
    return change == 0;
}

// The integrity word is part of the text it is summed into, so the filler is fitted for each
// possible sum of the word's own digits until the word that comes out has that sum.
bool FitTextSum(Memory& m, const ImageSpec& spec) {
    const std::vector<uint32_t> filler = FillerAddresses(spec);
    const int64_t wordSums[2] = {4 * '0', 4 * 'F'};
    for (uint64_t salt = 0; salt < 64; ++salt) {
        const Memory base = BaseImage(spec, salt);
        for (int64_t wordSum = wordSums[0]; wordSum <= wordSums[1]; ++wordSum) {
            m = base;
            PutWord(m, IntegrityAt(spec), 0);
            size_t length = 0;
            const int64_t now = ImageTextSum(m, spec, &length) - WordTextSum(0);
            if (!ShiftTextSum(m, filler, spec.textSum - now - wordSum)) continue;
            const uint16_t crc = Integrity(m, spec);
            if (WordTextSum(crc) != wordSum) continue;
            PutWord(m, IntegrityAt(spec), crc);
            return true;
        }
    }
    return false;
}

void AppendHex(std::string& out, uint32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += static_cast<char>(HexChar((value >> shift) & 0xF));
    }
}

// Standard TI-Text: address lines, 16 bytes a line low address first, the vectors, 'q'.
std::string TIText(const Memory& m, const ImageSpec& spec, const uint32_t* vectors) {
    std::string out;
    auto bytes = [&out](uint32_t count, auto byteAt) {
        for (uint32_t i = 0; i < count; ++i) {
            AppendHex(out, byteAt(i), 2);
            out += (i % 16 == 15 || i + 1 == count) ? '\n' : ' ';
        }
    };
    for (size_t r = 0; r < spec.rangeCount; ++r) {
        const Range range = spec.ranges[r];
        out += '@';
        AppendHex(out, range.start, range.start > 0xFFFF ? 5 : 4);
        out += '\n';
        bytes(range.end - range.start, [&](uint32_t i) { return m[range.start + i]; });
    }
    out += '@';
    AppendHex(out, kVectorBase, 4);
    out += '\n';
    bytes(2 * kVectors, [&](uint32_t i) { return (vectors[i / 2] >> (8 * (i % 2))) & 0xFF; });
    out += "q\n";
    return out;
}

bool MakeImage(const ImageSpec& spec, const std::string& folder) {
    Memory m;
    if (spec.textSum != 0) {
        if (!FitTextSum(m, spec)) {
            std::fprintf(stderr, "%s: no filler reaches the text sum\n", spec.fileName);
            return false;
        }
    } else {
        m = BaseImage(spec, 0);
        PutWord(m, IntegrityAt(spec), Integrity(m, spec));
    }
    uint32_t vectors[kVectors];
    std::fill(std::begin(vectors), std::end(vectors), 0xFFFF);
    vectors[kResetVector] = ImageStart(spec);
    for (const Handler& h : spec.handlers) vectors[h.vector] = ImageStart(spec) + h.offset;

    size_t length = 0;
    const int64_t sum = ImageTextSum(m, spec, &length);
    const std::string path = folder + "/" + spec.fileName;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << TIText(m, spec, vectors);
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s: %s %s, %04X-%05X, integrity %04X, image text %zu characters, sum %lld\n",
                spec.fileName, spec.code, spec.version, ImageStart(spec), ImageEnd(spec) - 1,
                Integrity(m, spec), length, static_cast<long long>(sum));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korr_make_images <output folder>\n");
        return EXIT_FAILURE;
    }
    for (const ImageSpec& spec : kImages) {
        if (!MakeImage(spec, argv[1])) return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
