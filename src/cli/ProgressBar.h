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

    // Shows `done` of `total` for the step named `label`.
    void Show(const char* label, uint32_t done, uint32_t total) { Draw(label, done, total, 0); }
    // Ends the step's line: complete, or stopped where it was.
    void Finish(const char* label, uint32_t done, uint32_t total, bool complete) {
        Draw(label, done, total, complete ? 1 : -1);
    }

  private:
    // ending: 0 running, 1 complete, -1 stopped.
    void Draw(const char* label, uint32_t done, uint32_t total, int ending);

    std::FILE* out_;
    bool terminal_;
    std::string label_;
    int lastShown_ = -1;  // percent last printed
};

}  // namespace korrcli
