#pragma once
// A file that one process at a time may use: the lock is a companion file, path + ".lock",
// held for as long as the returned object lives, and let go by the system when the process
// ends however it ends. Each platform has its own implementation file beside this one.

#include <cstdint>
#include <memory>
#include <string>

namespace korr {

class FileLock {
  public:
    virtual ~FileLock() = default;
};

struct LockAttempt {
    std::unique_ptr<FileLock> lock;  // null when not taken
    std::string holder;              // who holds it ("process 1234"), when another does
    int32_t error = 0;               // negative when the lock could not be tried at all
};

// Takes the lock of the file at path without waiting.
LockAttempt LockFile(const std::string& path);

// The companion file of a lock, which a person may see in the data folder.
std::string LockFilePath(const std::string& path);

}  // namespace korr
