#pragma once
// The bootstrap loader "KorrBSL" as the instrument runs it: waits for a carriage return
// (answers '$') and 'P' (answers '#'), then takes frames: a command letter, hex fields, '.',
// a four-digit check value and a carriage return. It answers '+' for done, '-' for a refused
// or damaged frame and '?' for something it does not know. It is strict where a wrong host
// could otherwise pass unseen: addresses have exactly the digits of its flash (four up to
// 64 KiB, five above), a frame is never longer than the largest it takes, and a 'W' writes
// only into segments erased in this session (or still blank when first written).

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "core/Device.h"
#include "core/Link.h"
#include "models/Flash.h"

namespace korrsim {

struct LoaderTiming {
    TimeUs reply = 1 * kUsPerMs;  // 'g', '@' and refusals
    TimeUs eraseSegment = 25 * kUsPerMs;
    TimeUs programWord = 70;  // per 16-bit word
    TimeUs vectors = 5 * kUsPerMs;
};

struct LoaderStats {
    uint32_t frames = 0;
    uint32_t refused = 0;  // '-' answers
    uint32_t unknown = 0;  // '?' answers
    uint32_t erases = 0;
    uint32_t writes = 0;
    uint32_t addresses = 0;
    uint32_t vectors = 0;
};

class BslLoader : public Device {
  public:
    enum class State { Waiting, Synchronising, Connected };

    BslLoader(Link& link, Flash& flash, int version = 12);

    void OnByte(uint8_t byte) override;

    State CurrentState() const { return state_; }
    void SetState(State state);
    // Called once the vector table is written (the target then restarts).
    void OnVectorsWritten(std::function<void()> action) { onVectors_ = std::move(action); }
    LoaderTiming& Timing() { return timing_; }
    const LoaderStats& Stats() const { return stats_; }
    uint32_t Address() const { return address_; }
    // Refuses the next n frames of a letter with '-' (a loader that had trouble writing).
    void RefuseNext(char letter, int count);
    // Loaders differ in what they make of a line without a valid check value: all answer '?',
    // but some answer any line that starts with 'g' with their version (so a firmware's
    // "get -ver" finds them out).
    void SetAnswersVersionLines(bool on) { answersVersionLines_ = on; }

  private:
    void HandleFrame(const std::string& frame);
    std::string Execute(char letter, const std::string& fields, TimeUs* busy);
    std::string Write(const std::string& fields, TimeUs* busy);
    std::string Vectors(const std::string& fields);
    bool ParseAddress(const std::string& fields, uint32_t* address) const;
    uint32_t SegmentOf(uint32_t address, uint32_t* size) const;
    bool MayWrite(uint32_t from, uint32_t to);
    void Reply(std::string text, TimeUs after);
    std::string VersionReply() const;

    Link& link_;
    Flash& flash_;
    int version_;
    State state_ = State::Waiting;
    std::string frame_;
    bool overflow_ = false;
    uint32_t address_ = 0;
    LoaderTiming timing_;
    LoaderStats stats_;
    std::function<void()> onVectors_;
    bool answersVersionLines_ = false;
    char refuseLetter_ = 0;
    int refuseCount_ = 0;
    size_t addressDigits_;
    std::set<uint32_t> writable_;  // segments this session may write
};

// Parses exactly `digits` hex digits (either case); false on anything else.
bool ParseHexField(const std::string& text, size_t pos, size_t digits, uint32_t* value);

}  // namespace korrsim
