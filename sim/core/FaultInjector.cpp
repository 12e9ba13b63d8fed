#include "core/FaultInjector.h"

namespace korrsim {

uint8_t FaultInjector::Corrupted(uint8_t byte) {
    uint8_t mask = 0;
    while (mask == 0) mask = random_.Byte();
    return static_cast<uint8_t>(byte ^ mask);
}

size_t FaultInjector::Apply(Direction direction, TimeUs now, uint8_t byte, uint8_t out[2]) {
    const uint64_t index = sent_[Index(direction)]++;
    for (const Window& w : silences_) {
        if (now >= w.from && now < w.to) {
            ++faults_;
            return 0;
        }
    }
    for (auto it = oneShots_.begin(); it != oneShots_.end(); ++it) {
        if (it->direction == direction && it->index == index) {
            FaultKind kind = it->kind;
            oneShots_.erase(it);
            ++faults_;
            if (kind == FaultKind::Lose) return 0;
            out[0] = Corrupted(byte);
            return 1;
        }
    }
    const FaultRates& r = rates_[Index(direction)];
    size_t n = 0;
    if (random_.Chance(r.insert)) {
        ++faults_;
        out[n++] = random_.Byte();
    }
    if (random_.Chance(r.lose)) {
        ++faults_;
        return n;
    }
    if (random_.Chance(r.corrupt)) {
        ++faults_;
        out[n++] = Corrupted(byte);
        return n;
    }
    out[n++] = byte;
    return n;
}

}  // namespace korrsim
