#include "bsl/LoaderLine.h"

namespace korr {

void LoaderLine::Note(char letter, LoaderReply reply) {
    last = reply;
    uint32_t& failed = failedByLetter[static_cast<unsigned char>(letter) % failedByLetter.size()];
    if (reply == LoaderReply::Accepted) {
        repeatedThrough += failed;
        failed = 0;
    } else {
        ++failed;
    }
}

LoaderTrouble JudgeLoaderTrouble(const LoaderLine& line) {
    switch (line.last) {
        case LoaderReply::Refused:
            return line.repeatedThrough > 0 ? LoaderTrouble::NoisyLine : LoaderTrouble::Refused;
        case LoaderReply::Garbled:
            return LoaderTrouble::Garbled;
        case LoaderReply::Silent:
            return LoaderTrouble::Silent;
        case LoaderReply::Accepted:
        case LoaderReply::PortFailed:
            break;
    }
    return LoaderTrouble::None;
}

}  // namespace korr
