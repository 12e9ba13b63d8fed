#include <map>
#include <new>

#include "firmware/TIText.h"

namespace korr {

namespace {

constexpr size_t kTokenShown = 16;  // characters of a bad token kept for the message

// A file read into a C string ends at its first NUL.
std::string_view UpToNul(std::string_view contents) {
    return contents.substr(0, contents.find('\0'));
}

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
constexpr bool IsSpace(char c) {
    return IsBlank(c) || c == '\n';
}

void AppendAddress(std::string& text, uint32_t address) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text.push_back('@');
    for (int shift = 16; shift >= 0; shift -= 4) text.push_back(kDigits[(address >> shift) & 0xF]);
}

enum class SectionKind { Data, Vectors, LoaderArea };

// Reads a file token by token. A byte that cannot be read is never skipped: skipping it would
// shift every later byte of its section to the wrong address.
class Reader {
  public:
    explicit Reader(std::string_view body) : body_(body) {
        for (uint32_t& v : contents_.vectors) v = kUnsetVector;
        contents_.text.reserve(body.size() / 2 + body.size() / 8 + 16);
    }

    // True when the whole file was good; `stop` says otherwise where and why.
    bool Read(TITextStop& stop) {
        while (NextToken()) {
            if (token_ == "q") {
                qAt_ = tokenAt_;
                return SectionDone(stop) && OnlySpaceFollows(stop) && HaveVectors(stop);
            }
            const bool ok =
                token_[0] == '@' ? (SectionDone(stop) && StartSection(stop)) : TakeByte(stop);
            if (!ok) return false;
        }
        return Fail(stop, TITextFault::NoEnd, body_.size());
    }

    TITextContents& Contents() { return contents_; }

  private:
    bool NextToken() {
        while (pos_ < body_.size() && IsSpace(body_[pos_])) ++pos_;
        if (pos_ >= body_.size()) return false;
        tokenAt_ = pos_;
        while (pos_ < body_.size() && !IsSpace(body_[pos_])) ++pos_;
        token_ = body_.substr(tokenAt_, pos_ - tokenAt_);
        return true;
    }

    bool Fail(TITextStop& stop, TITextFault fault, size_t offset, uint32_t address = 0) {
        stop.fault = fault;
        stop.offset = offset;
        stop.token = std::string(offset == tokenAt_ ? token_.substr(0, kTokenShown) : "");
        stop.address = address;
        return false;
    }

    // '@', hex digits, and nothing else on the line but blanks; the data start on the next line.
    bool StartSection(TITextStop& stop) {
        const std::string_view digits = token_.substr(1);
        uint32_t address = 0;
        bool tooHigh = false;
        for (char c : digits) {
            if (!IsHexDigit(c)) return Fail(stop, TITextFault::BadAddress, tokenAt_);
            address = address << 4 | HexValue(c);
            tooHigh = tooHigh || address > kMaxSegmentAddress;
            if (tooHigh) address = kMaxSegmentAddress + 1;
        }
        if (digits.empty()) return Fail(stop, TITextFault::BadAddress, tokenAt_);
        if (tooHigh) return Fail(stop, TITextFault::AddressTooHigh, tokenAt_);
        if (address % 2 != 0) return Fail(stop, TITextFault::OddAddress, tokenAt_, address);
        while (pos_ < body_.size() && IsBlank(body_[pos_])) ++pos_;
        if (pos_ >= body_.size()) return Fail(stop, TITextFault::NoDataLine, tokenAt_, address);
        if (body_[pos_] != '\n') {
            NextToken();  // what follows the address on its line
            return Fail(stop, TITextFault::BadAddress, tokenAt_, address);
        }

        start_ = next_ = address;
        inSection_ = true;
        if (address >= kVectorBase && address <= kVectorLast) {
            kind_ = SectionKind::Vectors;
            vectorsSeen_ = true;
        } else if (address >= kLoaderAreaStart && address <= kLoaderAreaLast) {
            kind_ = SectionKind::LoaderArea;  // the loader's own flash is not part of an image
        } else {
            kind_ = SectionKind::Data;
            AppendAddress(contents_.text, address);
        }
        return true;
    }

    bool TakeByte(TITextStop& stop) {
        if (token_.size() != 2 || !IsHexDigit(token_[0]) || !IsHexDigit(token_[1])) {
            return Fail(stop, TITextFault::BadToken, tokenAt_, next_);
        }
        if (next_ > kMaxSegmentAddress) {
            return Fail(stop, TITextFault::AddressTooHigh, tokenAt_, next_);
        }
        if (GivenBefore(next_)) return Fail(stop, TITextFault::Overlap, tokenAt_, next_);
        lastByteAt_ = tokenAt_;
        const uint32_t value = HexValue(token_[0]) << 4 | HexValue(token_[1]);
        if (kind_ == SectionKind::Vectors) {
            const uint32_t index = (next_ - kVectorBase) / 2;
            if (index >= static_cast<uint32_t>(kVectorCount)) {
                return Fail(stop, TITextFault::VectorsPastEnd, tokenAt_, next_);
            }
            if ((next_ - start_) % 2 == 0) {
                pendingLow_ = value;
            } else {
                contents_.vectors[index] = value << 8 | pendingLow_;
            }
        } else if (kind_ == SectionKind::Data) {
            if ((next_ - start_) % 2 == 0) {
                lowDigits_ = token_;
            } else {
                AppendWord(token_, lowDigits_);
            }
        }
        ++next_;
        return true;
    }

    // A word of the image text, high byte first; the digits are kept as the file wrote them.
    void AppendWord(std::string_view high, std::string_view low) {
        contents_.text.append(high);
        contents_.text.append(low);
    }

    // Whether `address` lies in a section that ended earlier.
    bool GivenBefore(uint32_t address) const {
        auto after = given_.upper_bound(address);
        if (after == given_.begin()) return false;
        --after;
        return address < after->second;
    }

    // Ends the open section: a lone last data byte becomes a word whose high byte is 0xFF; a
    // vector section must hold whole words.
    bool SectionDone(TITextStop& stop) {
        if (!inSection_) return true;
        inSection_ = false;
        const bool halfWord = (next_ - start_) % 2 != 0;
        if (halfWord && kind_ == SectionKind::Vectors) {
            return Fail(stop, TITextFault::VectorsCutShort, lastByteAt_, next_ - 1);
        }
        if (halfWord && kind_ == SectionKind::Data) AppendWord("FF", lowDigits_);
        if (next_ > start_) given_[start_] = next_;
        return true;
    }

    bool OnlySpaceFollows(TITextStop& stop) {
        if (!NextToken()) return true;
        return Fail(stop, TITextFault::AfterEnd, tokenAt_);
    }

    bool HaveVectors(TITextStop& stop) {
        if (vectorsSeen_) return true;
        // The file ends at its 'q' without ever giving the vectors.
        return Fail(stop, TITextFault::NoVectors, qAt_);
    }

    std::string_view body_;
    TITextContents contents_;
    std::map<uint32_t, uint32_t> given_;  // start -> end (exclusive) of every section so far
    size_t pos_ = 0;
    size_t tokenAt_ = 0;
    std::string_view token_;
    bool inSection_ = false;
    SectionKind kind_ = SectionKind::Data;
    uint32_t start_ = 0;
    uint32_t next_ = 0;  // address of the section's next byte
    size_t qAt_ = 0;
    size_t lastByteAt_ = 0;
    uint32_t pendingLow_ = 0;     // low byte of the vector being read
    std::string_view lowDigits_;  // low byte of the data word being read
    bool vectorsSeen_ = false;
};

}  // namespace

bool LooksLikeTIText(std::string_view contents) {
    contents = UpToNul(contents);
    return !contents.empty() && contents[0] == '@' && contents.find('q') != std::string_view::npos;
}

int32_t ParseTIText(std::string_view contents, TITextContents& out, TITextStop* stop) {
    TITextStop scratch;
    TITextStop& where = stop != nullptr ? *stop : scratch;
    where = TITextStop{};
    const std::string_view whole = contents;  // lines are counted in the file as it stands
    contents = UpToNul(contents);
    if (!LooksLikeTIText(contents)) {
        // No '@' at the start stops at once; no 'q' only at the end.
        where.fault = TITextFault::NotTIText;
        where.offset = !contents.empty() && contents[0] == '@' ? contents.size() : 0;
        where.line = LineOfOffset(whole, where.offset);
        return kNotTIText;
    }
    try {
        Reader reader(contents);
        if (!reader.Read(where)) {
            where.line = LineOfOffset(whole, where.offset);
            return kNotTIText;
        }
        out = std::move(reader.Contents());
        return 1;
    } catch (const std::bad_alloc&) {
        where = TITextStop{};
        return kImageNoMemory;
    }
}

uint32_t LineOfOffset(std::string_view contents, size_t offset) {
    uint32_t line = 1;
    for (size_t i = 0; i < offset && i < contents.size(); ++i) {
        if (contents[i] == '\n') ++line;
    }
    // A file that ends with its last line's end stops after it, not on a line of its own.
    if (offset > 0 && offset >= contents.size() && contents.back() == '\n') --line;
    return line;
}

uint32_t TITextStopLine(std::string_view contents) {
    TITextContents scratch;
    TITextStop stop;
    if (ParseTIText(contents, scratch, &stop) != kNotTIText) return 0;
    return stop.line;
}

}  // namespace korr
