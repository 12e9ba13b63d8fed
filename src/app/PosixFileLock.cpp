// The file lock on POSIX systems: flock on the companion file, which also records the pid of
// the holder so that the next process can say who it is.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/FileLock.h"

namespace korr {

namespace {

class PosixFileLock final : public FileLock {
  public:
    explicit PosixFileLock(int fd) : fd_(fd) {}
    ~PosixFileLock() override { ::close(fd_); }  // closing lets go of the lock
    PosixFileLock(const PosixFileLock&) = delete;
    PosixFileLock& operator=(const PosixFileLock&) = delete;

  private:
    int fd_;
};

std::string HolderOf(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    long pid = 0;
    if (n > 0 && std::sscanf(text, "%ld", &pid) == 1 && pid > 0) {
        return "process " + std::to_string(pid);
    }
    return "another process";
}

}  // namespace

std::string LockFilePath(const std::string& path) {
    return path + ".lock";
}

LockAttempt LockFile(const std::string& path) {
    LockAttempt attempt;
    const std::string lockPath = LockFilePath(path);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        attempt.error = -errno;
        return attempt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        if (e == EWOULDBLOCK) {
            attempt.holder = HolderOf(fd);
        } else {
            attempt.error = -e;
        }
        ::close(fd);
        return attempt;
    }
    const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        // The lock holds all the same; only the name of its holder is missing.
    }
    attempt.lock = std::make_unique<PosixFileLock>(fd);
    return attempt;
}

}  // namespace korr
