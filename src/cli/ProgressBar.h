#pragma once
// Progress of a long step on the command line: a bar redrawn in place on a terminal, plain
// lines every tenth of the way otherwise (logs, pipes, CI).

#include <cstdint>
#include <cstdio>
#include <string>

namespace korrcli {

class ProgressBar {
public:
    explicit ProgressBar(std::FILE* out);

    // Shows `done` of `total` for the step named `label`; `finished` ends the step's line.
    void Show(const char* label, uint32_t done, uint32_t total, bool finished);

private:
    std::FILE* out_;
    bool terminal_;
    std::string label_;
    int lastShown_ = -1;  // percent last printed
};

}  // namespace korrcli
