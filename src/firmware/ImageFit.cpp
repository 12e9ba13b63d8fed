#include "firmware/ImageFit.h"

#include <algorithm>
#include <new>
#include <vector>

#include "firmware/ImageSegments.h"
#include "firmware/TIText.h"

namespace korr {

namespace {

constexpr int kResetVector = kVectorCount - 1;  // 0xFFFE

// Byte ranges [first, end), sorted and merged.
struct Range {
    uint32_t first;
    uint64_t end;
};
using Ranges = std::vector<Range>;

void Merge(Ranges& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    Ranges merged;
    for (const Range& r : ranges) {
        if (r.end <= r.first) continue;
        if (!merged.empty() && r.first <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, r.end);
        } else {
            merged.push_back(r);
        }
    }
    ranges.swap(merged);
}

// The first run of bytes of `want` that `have` leaves out; false when it covers all of them.
bool FirstGap(const Ranges& have, const Range& want, Range* gap) {
    uint64_t at = want.first;
    for (const Range& r : have) {
        if (at >= want.end) return false;
        if (r.end <= at) continue;
        if (r.first > at) {
            *gap = {static_cast<uint32_t>(at), std::min<uint64_t>(r.first, want.end)};
            return true;
        }
        at = r.end;
    }
    if (at >= want.end) return false;
    *gap = {static_cast<uint32_t>(at), want.end};
    return true;
}

Range InfoMemory(const TargetMemory& m) {
    return {m.infoStart, m.infoStart + uint64_t{m.infoSegments} * m.infoSegmentSize};
}

Range MainFlash(const TargetMemory& m) {
    return {m.flashStart, uint64_t{m.flashEnd} + 1};
}

// What the information-memory erase and the flash erase will clear, segment by segment, as the
// loader is asked: each command erases the segment that holds its address.
Ranges ErasedBytes(const TargetMemory& m) {
    Ranges erased;
    for (uint32_t i = 0; i < m.infoSegments; ++i) {
        const uint64_t at = m.infoStart + uint64_t{i} * m.infoSegmentSize;
        erased.push_back({static_cast<uint32_t>(at), at + m.infoSegmentSize});
    }
    const bool refused = m.flashStart >= kLoaderFlashStart && m.flashStart <= kLoaderFlashEnd;
    const Range main = MainFlash(m);
    for (uint32_t a = m.flashStart; !refused && a < m.flashEnd; a = NextFlashErase(a)) {
        const uint32_t segment = a / kFlashSegmentSize * kFlashSegmentSize;
        const uint32_t first = std::max(segment, main.first);
        const uint64_t end = std::min<uint64_t>(uint64_t{segment} + kFlashSegmentSize, main.end);
        erased.push_back({first, end});
    }
    Merge(erased);
    return erased;
}

bool Refuse(ImageFitProblem* problem, ImageFitFault fault, uint32_t first, uint64_t end) {
    *problem = {.fault = fault, .first = first, .last = static_cast<uint32_t>(end - 1)};
    return false;
}

// The data of one segment against the target's memory.
bool SegmentFits(const Range& data, bool fiveDigit, const Ranges& memory, const Ranges& erased,
                 ImageFitProblem* problem) {
    const uint64_t loaderEnd = uint64_t{kLoaderFlashEnd} + 1;
    if (data.first < loaderEnd && data.end > kLoaderFlashStart) {
        return Refuse(problem, ImageFitFault::InLoaderArea, std::max(data.first, kLoaderFlashStart),
                      std::min(data.end, loaderEnd));
    }
    // Four address digits cannot name anything above the loader's area.
    if (!fiveDigit && data.end > kAboveLoaderFlash) {
        return Refuse(problem, ImageFitFault::OutsideMemory,
                      std::max(data.first, kAboveLoaderFlash), data.end);
    }
    Range gap{};
    if (FirstGap(memory, data, &gap)) {
        return Refuse(problem, ImageFitFault::OutsideMemory, gap.first, gap.end);
    }
    if (FirstGap(erased, data, &gap)) {
        return Refuse(problem, ImageFitFault::NotErased, gap.first, gap.end);
    }
    return true;
}

bool Fits(const FirmwareImage& image, const TargetMemory& m, ImageFitProblem* problem) {
    std::vector<ImageSegment> segments;
    if (ListImageSegments(image.text, segments) != 1) {
        return Refuse(problem, ImageFitFault::Malformed, 0, 1);
    }
    Ranges memory = {InfoMemory(m), MainFlash(m)};
    Merge(memory);
    const Ranges erased = ErasedBytes(m);
    Ranges written;
    for (const ImageSegment& s : segments) {
        if (s.words == 0) continue;
        const Range data{s.address, uint64_t{s.address} + s.Bytes()};
        if (!SegmentFits(data, m.fiveDigit, memory, erased, problem)) return false;
        written.push_back(data);
    }
    if (written.empty()) return Refuse(problem, ImageFitFault::Empty, 0, 1);
    Merge(written);

    const uint32_t reset = image.vectors[kResetVector];
    if (reset == kUnsetVector) return Refuse(problem, ImageFitFault::NoResetVector, 0xFFFE, 0xFFFF);
    Range outside{};
    if (FirstGap(written, {reset, uint64_t{reset} + 2}, &outside)) {
        return Refuse(problem, ImageFitFault::ResetOutsideImage, reset, uint64_t{reset} + 1);
    }
    return true;
}

}  // namespace

TargetMemory TargetMemoryOf(const DeviceTypeRow& row) {
    return {.flashStart = row.flashStart,
            .flashEnd = row.flashEnd,
            .infoStart = row.infoStart,
            .infoSegments = row.infoSegments,
            .infoSegmentSize = row.infoSegmentSize,
            .fiveDigit = row.twentyBitAddresses};
}

int32_t CheckImageFit(const FirmwareImage& image, const TargetMemory& memory,
                      ImageFitProblem* problem) {
    ImageFitProblem scratch;
    ImageFitProblem& p = problem != nullptr ? *problem : scratch;
    p = ImageFitProblem{};
    try {
        return Fits(image, memory, &p) ? 1 : kImageDoesNotFit;
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
}

}  // namespace korr
