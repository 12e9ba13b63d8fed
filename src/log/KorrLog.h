#pragma once
// The one error log of the program: a plain-text file that users send back to support.

#include <cstdint>
#include <functional>
#include <string>

namespace korr {

enum : uint32_t {
    LOG_OFF = 0,
    LOG_ERROR = 1,
    LOG_INFO = 10,
    LOG_VERBOSE = 30,
    LOG_TRACE = 40,
};

class KorrLog {
  public:
    // A null path means "error.txt" in the working directory. An invalid level becomes LOG_ERROR.
    // Constructing never touches the file.
    explicit KorrLog(const char* path = nullptr, uint32_t level = LOG_ERROR);

    // Sets the level if it is one of the five valid ones; otherwise keeps the old level.
    bool SetLevel(uint32_t level);
    uint32_t Level() const { return level_; }
    const std::string& Path() const { return path_; }

    // Writes one line "d Mon yyyy h:mm:ss - TAG: message" + CR LF when the log's level is at
    // least `level`. The file is opened and closed around the line, so it is complete after
    // every line and a deleted file is simply created again. Returns the characters written,
    // 0 when filtered out or when the file cannot be opened (the log never fails its caller).
    __attribute__((format(printf, 4, 5))) int Print(uint32_t level, const char* tag,
                                                    const char* format, ...) const;

    static bool IsValidLevel(uint32_t level);

    // A front end may also show every line written (a command line's -v); layers never set it.
    using Mirror = std::function<void(const std::string& line)>;
    void SetMirror(Mirror mirror) { mirror_ = std::move(mirror); }

    // What every line concerns, written in brackets after the tag ("KorrBSL [ttyUSB0]: ..."),
    // so that two updates on two ports can be told apart in one log. Empty: nothing added.
    void SetContext(std::string context) { context_ = std::move(context); }
    const std::string& Context() const { return context_; }
    // Stamps lines with the system's own date and time even while a virtual clock runs the
    // protocol (a simulated update is still logged when it happened).
    void StampWithSystemTime(bool on) { systemTime_ = on; }

  private:
    // "TAG" or "TAG [context]".
    std::string Lead(const char* tag) const;

    std::string path_;
    uint32_t level_;
    Mirror mirror_;
    std::string context_;
    bool systemTime_ = false;
};

// Formats a time stamp as the log writes it ("1 Mar 2027 9:05:07") into out (at least 32 chars).
void FormatLogStamp(char* out, size_t capacity, int year, int month0, int day, int hour, int minute,
                    int second);

}  // namespace korr
