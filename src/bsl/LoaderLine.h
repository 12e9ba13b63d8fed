#pragma once
// What the loader's answers were like in one session. A frame that reaches the loader damaged
// is refused just like one it cannot carry out ('-'), so a refusal alone does not say whether
// the loader or the line stopped a step; commands of the same session that failed and then went
// through on a repeat do: the loader refuses the same command every time, the line does not.

#include <array>
#include <cstdint>

namespace korr {

// How one exchange with the loader ended.
enum class LoaderReply {
    Accepted,    // '+'
    Refused,     // '-' or '?'
    Garbled,     // an answer that is neither
    Silent,      // nothing came back
    PortFailed,  // the port itself failed
};

struct LoaderLine {
    LoaderReply last = LoaderReply::Accepted;  // how the latest exchange ended
    // Failed exchanges whose command went through when it was sent again; the address command
    // between two tries of a block does not count as the block going through.
    uint32_t repeatedThrough = 0;
    std::array<uint32_t, 128> failedByLetter{};

    void Clear() { *this = LoaderLine{}; }
    void Note(char letter, LoaderReply reply);
};

// What most likely stopped a loader step that failed.
enum class LoaderTrouble {
    None,       // no failed exchange, or the port failed (its own error says what)
    Refused,    // the loader refused, on a line that had given no trouble
    NoisyLine,  // refused, after earlier commands went through only when repeated
    Garbled,    // the loader's answer arrived as something it never says
    Silent,     // no answer
};

LoaderTrouble JudgeLoaderTrouble(const LoaderLine& line);

}  // namespace korr
