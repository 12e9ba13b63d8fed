#pragma once
// Seeded faults on the simulated line: lost, corrupted and inserted bytes, silent spells,
// and one-shot faults aimed at a given byte.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/EventLoop.h"
#include "core/Random.h"

namespace korrsim {

enum class Direction { ToDevice = 0, ToHost = 1 };

struct FaultRates {
    double lose = 0;     // probability that a byte never arrives
    double corrupt = 0;  // probability that a byte arrives with bits flipped
    double insert = 0;   // probability that a noise byte arrives before it
};

enum class FaultKind { Lose, Corrupt };

class FaultInjector {
  public:
    explicit FaultInjector(uint64_t seed) : random_(seed) {}

    void SetRates(Direction direction, FaultRates rates) { rates_[Index(direction)] = rates; }
    // Nothing crosses the line in either direction during [from, to).
    void AddSilence(TimeUs from, TimeUs to) { silences_.push_back({from, to}); }
    void ClearSilences() { silences_.clear(); }
    // Hits the byte with the given number (counting from 0 in that direction) once.
    void AddOneShot(Direction direction, uint64_t byteIndex, FaultKind kind) {
        oneShots_.push_back({direction, byteIndex, kind});
    }

    // Decides what arrives for one byte sent at `now`: writes 0, 1 or 2 bytes to out and returns
    // their number.
    size_t Apply(Direction direction, TimeUs now, uint8_t byte, uint8_t out[2]);

    Random& Rng() { return random_; }
    uint64_t Sent(Direction direction) const { return sent_[Index(direction)]; }
    uint64_t Faults() const { return faults_; }

  private:
    struct Window {
        TimeUs from, to;
    };
    struct OneShot {
        Direction direction;
        uint64_t index;
        FaultKind kind;
    };
    static size_t Index(Direction d) { return static_cast<size_t>(d); }
    uint8_t Corrupted(uint8_t byte);

    Random random_;
    FaultRates rates_[2];
    std::vector<Window> silences_;
    std::vector<OneShot> oneShots_;
    uint64_t sent_[2] = {0, 0};
    uint64_t faults_ = 0;
};

}  // namespace korrsim
