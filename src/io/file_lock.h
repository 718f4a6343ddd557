#pragma once

// Advisory locks on a file, so that commands on the same image take turns:
// one that changes it holds the file alone from reading to the finished save,
// ones that only read share it.

#include <chrono>
#include <optional>
#include <string>

namespace sonabank {

enum class LockKind { Shared, Exclusive };

struct LockOutcome;

class FileLock {
  public:
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    ~FileLock();  // releases the lock

  private:
    friend LockOutcome LockFile(const std::string&, LockKind, std::chrono::milliseconds);
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

struct LockOutcome {
    std::optional<FileLock> lock;  // empty: no lock taken
    bool timedOut = false;         // another holder kept it past the patience
};

// Locks the regular file `path` names (through symbolic links). A save
// replaces the file by a new one, so a lock won on a file that has since been
// replaced is given up and taken again on the new one. No lock (and no
// time-out) when `path` names no regular file: whoever opens it next reports
// why.
LockOutcome LockFile(const std::string& path, LockKind kind, std::chrono::milliseconds patience);

}  // namespace sonabank
