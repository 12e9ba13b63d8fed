#include "cli/ProgressBar.h"

#include <unistd.h>

namespace korrcli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kPlainStep = 10;  // percent between plain lines
}  // namespace

ProgressBar::ProgressBar(std::FILE* out) : out_(out), terminal_(::isatty(::fileno(out)) == 1) {}

void ProgressBar::Draw(const char* label, uint32_t done, uint32_t total, int ending) {
    if (label_ != label) {
        label_ = label;
        lastShown_ = -1;
    }
    int percent = total == 0 ? 100 : static_cast<int>(uint64_t{done} * 100 / total);
    if (percent > 100) percent = 100;
    const char* stopped = ending < 0 ? " (stopped)" : "";
    if (terminal_) {
        const int filled = percent * kBarWidth / 100;
        std::fprintf(out_, "\r%-28s [%.*s%*s] %3d%%%s", label, filled,
                     "##############################", kBarWidth - filled, "", percent, stopped);
        if (ending != 0) std::fputc('\n', out_);
    } else if (ending < 0 || lastShown_ < 0 || percent / kPlainStep > lastShown_ / kPlainStep ||
               (ending > 0 && percent != lastShown_)) {
        std::fprintf(out_, "%s: %d%%%s\n", label, percent, stopped);
        lastShown_ = percent;
    }
    std::fflush(out_);
}

}  // namespace korrcli
