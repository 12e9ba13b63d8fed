#include "models/BslLoader.h"

#include <algorithm>
#include <cstdio>

namespace korrsim {

namespace {

// The letter, 512 characters of 'W' data, '.' and the check value.
constexpr size_t kMaxFrame = 1 + 512 + 1 + 4;
constexpr size_t kCheckDigits = 4;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool ParseHexField(const std::string& text, size_t pos, size_t digits, uint32_t* value) {
    if (pos + digits > text.size()) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < digits; ++i) {
        int d = HexDigit(text[pos + i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    *value = v;
    return true;
}

BslLoader::BslLoader(Link& link, Flash& flash, int version)
    : link_(link),
      flash_(flash),
      version_(version),
      addressDigits_(flash.Layout().size > 0x10000 ? 5 : 4) {}

void BslLoader::SetState(State state) {
    state_ = state;
    frame_.clear();
    overflow_ = false;
    writable_.clear();
}

bool BslLoader::ParseAddress(const std::string& fields, uint32_t* address) const {
    return fields.size() == addressDigits_ && ParseHexField(fields, 0, fields.size(), address);
}

// The first address of the segment that holds the address, and the segment's size.
uint32_t BslLoader::SegmentOf(uint32_t address, uint32_t* size) const {
    const FlashLayout& l = flash_.Layout();
    const uint32_t infoEnd = l.infoStart + l.infoSegments * l.infoSegmentSize;
    if (address >= l.infoStart && address < infoEnd) {
        *size = l.infoSegmentSize;
        return address - (address - l.infoStart) % l.infoSegmentSize;
    }
    // A main segment that straddles the end of information memory starts where that ends.
    const uint32_t aligned = address / kMainSegmentSize * kMainSegmentSize;
    const uint32_t start = address >= infoEnd && aligned < infoEnd ? infoEnd : aligned;
    *size = aligned + kMainSegmentSize - start;
    return start;
}

// Bytes [from, to) lie in segments erased in this session, or blank when first written.
bool BslLoader::MayWrite(uint32_t from, uint32_t to) {
    for (uint32_t a = from; a < to;) {
        uint32_t size = 0;
        const uint32_t start = SegmentOf(a, &size);
        const uint32_t end = std::max(start + size, a + 1);
        if (writable_.count(start) == 0) {
            for (uint32_t b = std::max(start, a); b < end; ++b) {
                if (flash_.Read(b) != 0xFF) return false;
            }
            writable_.insert(start);
        }
        a = end;
    }
    return true;
}

void BslLoader::RefuseNext(char letter, int count) {
    refuseLetter_ = letter;
    refuseCount_ = count;
}

void BslLoader::Reply(std::string text, TimeUs after) {
    link_.Loop().After(after, [this, text = std::move(text)] { link_.DeviceSend(text); });
}

void BslLoader::OnByte(uint8_t byte) {
    switch (state_) {
        case State::Waiting:
        case State::Synchronising:
            // Waiting for a host: a carriage return gets the prompt, 'P' opens the session.
            if (byte == '\r') {
                state_ = State::Synchronising;
                Reply("$", timing_.reply);
            } else if (byte == 'P' && state_ == State::Synchronising) {
                SetState(State::Connected);
                Reply("#", timing_.reply);
            }
            return;
        case State::Connected:
            break;
    }
    if (byte != '\r') {
        if (frame_.size() < kMaxFrame) {
            frame_.push_back(static_cast<char>(byte));
        } else {
            overflow_ = true;
        }
        return;
    }
    std::string frame = std::move(frame_);
    frame_.clear();
    if (overflow_) {
        overflow_ = false;
        ++stats_.unknown;
        Reply("?\r", timing_.reply);
        return;
    }
    HandleFrame(frame);
}

std::string BslLoader::VersionReply() const {
    char text[32];
    std::snprintf(text, sizeof text, "+%d+\r", version_);
    return text;
}

void BslLoader::HandleFrame(const std::string& frame) {
    ++stats_.frames;
    if (answersVersionLines_ && !frame.empty() && frame[0] == 'g') {
        Reply(VersionReply(), timing_.reply);
        return;
    }
    // letter, fields, '.', four check digits
    const size_t dot = frame.rfind('.');
    uint32_t check = 0;
    if (frame.empty() || dot == std::string::npos || dot == 0 ||
        frame.size() - dot - 1 != kCheckDigits ||
        !ParseHexField(frame, dot + 1, kCheckDigits, &check)) {
        ++stats_.unknown;
        Reply("?\r", timing_.reply);
        return;
    }
    uint32_t sum = 0;
    for (size_t i = 0; i <= dot; ++i) sum += static_cast<unsigned char>(frame[i]);
    if (sum % 0xFFFF != check) {
        ++stats_.refused;
        Reply("-\r", timing_.reply);
        return;
    }
    const char letter = frame[0];
    if (refuseCount_ > 0 && letter == refuseLetter_) {
        --refuseCount_;
        ++stats_.refused;
        Reply("-\r", timing_.reply);
        return;
    }
    TimeUs busy = timing_.reply;
    std::string answer = Execute(letter, frame.substr(1, dot - 1), &busy);
    if (answer == "-\r") ++stats_.refused;
    if (answer == "?\r") ++stats_.unknown;
    Reply(answer, busy);
    if (letter == 'V' && answer == "+" && onVectors_) {
        link_.Loop().After(busy, onVectors_);
    }
}

std::string BslLoader::Execute(char letter, const std::string& fields, TimeUs* busy) {
    uint32_t value = 0;
    uint32_t segmentSize = 0;
    switch (letter) {
        case 'g':
            return VersionReply();
        case '@':
            if (!ParseAddress(fields, &value)) return "-\r";
            address_ = value;
            ++stats_.addresses;
            return "+\r";
        case 'X':
            if (!ParseAddress(fields, &value) || !flash_.EraseSegment(value)) return "-\r";
            writable_.insert(SegmentOf(value, &segmentSize));
            ++stats_.erases;
            *busy = timing_.eraseSegment;
            return "+\r";
        case 'W':
            return Write(fields, busy);
        case 'V':
            *busy = timing_.vectors;
            return Vectors(fields);
        default:
            return "?\r";
    }
}

std::string BslLoader::Write(const std::string& fields, TimeUs* busy) {
    if (fields.empty() || fields.size() % 4 != 0) return "-\r";
    const size_t words = fields.size() / 4;
    if (!MayWrite(address_, address_ + static_cast<uint32_t>(words * 2))) return "-\r";
    uint32_t address = address_;
    bool ok = true;
    for (size_t i = 0; i < words; ++i) {
        uint32_t word = 0;
        if (!ParseHexField(fields, i * 4, 4, &word)) return "-\r";
        // A word goes out high byte first; the low byte lives at the even address.
        ok = flash_.Program(address, static_cast<uint8_t>(word & 0xFF)) && ok;
        ok = flash_.Program(address + 1, static_cast<uint8_t>(word >> 8)) && ok;
        address += 2;
    }
    address_ = address;  // the next block continues where this one ended
    ++stats_.writes;
    *busy = timing_.programWord * words;
    return ok ? "+\r" : "-\r";
}

std::string BslLoader::Vectors(const std::string& fields) {
    if (fields.size() != 16 * 4) return "-\r";
    uint16_t vectors[16];
    for (size_t i = 0; i < 16; ++i) {
        uint32_t word = 0;
        if (!ParseHexField(fields, i * 4, 4, &word)) return "-\r";
        vectors[i] = static_cast<uint16_t>(word);
    }
    if (!flash_.WriteVectors(vectors)) return "-\r";
    ++stats_.vectors;
    return "+";
}

}  // namespace korrsim
