#include "cli/ProgressBar.h"

#include <unistd.h>

namespace korrcli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kPlainStep = 10;  // percent between plain lines
}  // namespace

ProgressBar::ProgressBar(std::FILE* out) : out_(out), terminal_(::isatty(::fileno(out)) == 1) {}

void ProgressBar::Show(const char* label, uint32_t done, uint32_t total, bool finished) {
    if (label_ != label) {
        label_ = label;
        lastShown_ = -1;
    }
    int percent = total == 0 ? 100 : static_cast<int>(uint64_t{done} * 100 / total);
    if (percent > 100) percent = 100;
    if (terminal_) {
        const int filled = percent * kBarWidth / 100;
        std::fprintf(out_, "\r%-28s [%.*s%*s] %3d%%", label, filled,
                     "##############################", kBarWidth - filled, "", percent);
        if (finished) std::fputc('\n', out_);
    } else if ((finished && percent != lastShown_) || lastShown_ < 0 ||
               percent / kPlainStep > lastShown_ / kPlainStep) {
        std::fprintf(out_, "%s: %d%%\n", label, percent);
        lastShown_ = percent;
    }
    std::fflush(out_);
}

}  // namespace korrcli
