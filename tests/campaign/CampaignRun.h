#pragma once
// One seed of the fault campaign: a whole update of a simulated instrument through the
// application core, with faults drawn from the seed, then up to three clean retries as a
// technician would make them, judged by the simulator's own record.

#include <cstdint>
#include <string>

namespace korrcampaign {

enum class Outcome {
    FirstTry,         // updated at the first try
    Recovered,        // the first run failed with a clear error, a retry updated it
    NotRecovered,     // no retry brought the instrument back
    SettingsLost,     // updated, but its settings are not what they were (and no file kept them)
    WrongInstrument,  // an instrument ended with another instrument's settings
    Unclear,          // a run failed without exactly one error box, or claimed a success it had not
    Hang,             // virtual time ran past any sensible bound
};

struct SeedResult {
    Outcome outcome = Outcome::NotRecovered;
    std::string device;   // "QS7 old firmware" ...
    std::string faults;   // what was injected
    std::string details;  // what went wrong, for a bad outcome
    int runs = 0;
};

// Runs one seed. The log of every run goes to logPath when it is not empty.
SeedResult RunSeed(uint64_t seed, const std::string& logPath);

// One seed in ten is a bench: two instruments of the same product on one port, one after the
// other (an unfinished update of A, then B, then A again).
bool IsBenchSeed(uint64_t seed);
SeedResult RunBenchSeed(uint64_t seed, const std::string& logPath);

const char* OutcomeName(Outcome outcome);

}  // namespace korrcampaign
