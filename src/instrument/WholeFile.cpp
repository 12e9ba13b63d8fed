#include "instrument/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace korr {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

int32_t WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return 1;
}

// The folder's entry for the renamed file survives a crash only once the folder is synced too;
// a folder that cannot be opened or synced still holds a whole file, so that is no failure.
void SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int32_t ReadErrorCode(int error) {
    switch (error) {
        case ENOENT:
            return -102;
        case EACCES:
            return -105;
        case EBADF:
            return -106;
        default:
            return -error;
    }
}

}  // namespace

int32_t WriteWholeFile(const char* path, std::string_view text) {
    const std::string target = path;
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());  // created readable and writable by the owner only
    if (fd < 0) return -errno;
    int32_t r = ::fchmod(fd, kOwnerOnly) == 0 ? WriteAll(fd, text) : -errno;
    if (r > 0 && ::fsync(fd) != 0) r = -errno;
    if (::close(fd) != 0 && r > 0) r = -errno;
    if (r > 0 && ::rename(temp.c_str(), target.c_str()) != 0) r = -errno;
    if (r < 0) {
        ::unlink(temp.c_str());
        return r;
    }
    SyncFolderOf(target);
    return 1;
}

int32_t ReadWholeFile(const char* path, std::string* text) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadErrorCode(errno);
    std::string bytes;
    char chunk[4096];
    int32_t r = 1;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r = ReadErrorCode(errno);
            break;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<size_t>(n) > kMostFileBytes) {
            r = -60;
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (r > 0) *text = std::move(bytes);
    return r;
}

}  // namespace korr
