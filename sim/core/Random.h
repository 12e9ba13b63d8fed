#pragma once
// A small seeded generator (splitmix64): the same seed gives the same faults on every platform.

#include <cstdint>

namespace korrsim {

class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    bool Chance(double probability) { return probability > 0 && Unit() < probability; }
    uint8_t Byte() { return static_cast<uint8_t>(Next()); }

  private:
    uint64_t state_;
};

}  // namespace korrsim
