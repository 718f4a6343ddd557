#include "io/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#include <utility>

#include "io/byte_stream.h"

namespace sonabank {

namespace {

constexpr std::chrono::milliseconds kRetryInterval{10};

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

LockOutcome LockFile(const std::string& path, LockKind kind, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    const int operation = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (HasZeroByte(path)) return {};
    for (;;) {
        // Read access is enough for either kind of lock, and O_NONBLOCK keeps
        // a FIFO from holding the open.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return {};
        FileLock candidate(fd);
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) return {};
        while (::flock(fd, operation) != 0) {
            // A file system without locks leaves the turns to chance, as before.
            if (errno != EWOULDBLOCK && errno != EINTR) return {};
            if (std::chrono::steady_clock::now() >= deadline) return {std::nullopt, true};
            std::this_thread::sleep_for(kRetryInterval);
        }
        struct stat current {};
        if (::stat(path.c_str(), &current) == 0 && SameInode(current, locked)) {
            return {std::move(candidate), false};
        }
    }
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace sonabank
