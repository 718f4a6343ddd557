#include "io/byte_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace sonabank {

namespace {

FileFaultHook* faultHook = nullptr;

FaultAction AskHook(FileOp op) {
    return faultHook ? faultHook->Before(op) : FaultAction::Proceed;
}

// No errno of a failing device maps onto one of the listed codes, so EIO
// takes the code of a general device failure.
constexpr int IO_DEVICE_FAILURE = 31;

[[noreturn]] void ThrowErrno(int error) {
    throw IoError(IoCodeFromErrno(error));
}

// A failure injected by a test stands for the failure the operation most
// often meets for real.
void FailIfAsked(FileOp op, int error) {
    if (AskHook(op) == FaultAction::Fail) ThrowErrno(error);
}

// How many of `wanted` bytes a read or write may move: all of them, half when
// a test asks for a short transfer; or it fails with `error`.
std::size_t AllowedBytes(FileOp op, std::size_t wanted, int error) {
    switch (AskHook(op)) {
        case FaultAction::Fail:
            ThrowErrno(error);
        case FaultAction::Short:
            return wanted / 2;
        case FaultAction::Proceed:
            break;
    }
    return wanted;
}

// Repeats a read or write call, which may move fewer bytes than asked, until
// `wanted` bytes have moved or a call moves none (the end of the file).
template <typename Call>
std::size_t TransferAll(std::size_t wanted, Call call) {
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t moved = call(done);
        if (moved < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        if (moved == 0) break;
        done += static_cast<std::size_t>(moved);
    }
    return done;
}

}  // namespace

int IoCodeFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return IO_FILE_NOT_FOUND;
        case ENAMETOOLONG:
        case EINVAL:
            return IO_INVALID_FILENAME;
        case EMFILE:
        case ENFILE:
            return IO_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return IO_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return IO_DISK_FULL;
        case EIO:
            return IO_DEVICE_FAILURE;
        default:
            return IO_ERRNO_BASE + error;
    }
}

std::string IoErrorText(int code) {
    std::string text;
    switch (code) {
        case IO_FILE_NOT_FOUND:
            text = "File not found";
            break;
        case IO_INVALID_FILENAME:
            text = "Invalid filename";
            break;
        case IO_TOO_MANY_OPEN_FILES:
            text = "Too many open files";
            break;
        case IO_ACCESS_DENIED:
            text = "File access denied";
            break;
        case IO_READ_BEYOND_EOF:
            text = "Read beyond end of file";
            break;
        case IO_DISK_FULL:
            text = "Disk full";
            break;
        case IO_INVALID_NUMERIC_INPUT:
            text = "Invalid numeric input";
            break;
        default:
            text = "I/O error " + std::to_string(code);
            break;
    }
    if (text.back() > '.') text.push_back('.');
    return text;
}

IoError::IoError(int code) : std::runtime_error(IoErrorText(code)), code_(code) {}

IoError::IoError(int code, const std::string& detail)
    : std::runtime_error(IoErrorText(code) + " " + detail), code_(code) {}

bool HasZeroByte(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (HasZeroByte(a) || HasZeroByte(b)) return false;
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (HasZeroByte(path) || ::stat(path.c_str(), &info) != 0) return std::nullopt;
    const auto ns = [](const timespec& t) {
        return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
    };
    return FileStamp{info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim)};
}

namespace {

// Opens without waiting for the other end of a FIFO, then makes the
// descriptor blocking again for the reads and writes.
std::optional<ByteStream> OpenWithoutWaiting(const std::string& path, int flags) {
    if (HasZeroByte(path)) return std::nullopt;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return std::nullopt;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return ByteStream::Adopt(fd);
}

}  // namespace

std::optional<ByteStream> ByteStream::OpenExisting(const std::string& path) {
    if (AskHook(FileOp::Open) == FaultAction::Fail || IsReadOnlyFile(path)) return std::nullopt;
    return OpenWithoutWaiting(path, O_RDWR);
}

std::optional<ByteStream> ByteStream::OpenForReading(const std::string& path) {
    if (AskHook(FileOp::Open) == FaultAction::Fail) return std::nullopt;
    return OpenWithoutWaiting(path, O_RDONLY);
}

std::optional<ByteStream> ByteStream::Create(const std::string& path) {
    if (AskHook(FileOp::Create) == FaultAction::Fail || IsReadOnlyFile(path)) return std::nullopt;
    return OpenWithoutWaiting(path, O_WRONLY | O_CREAT | O_TRUNC);
}

namespace {

// A failure injected by a test is a device failure, which no caller takes
// for a reason to try elsewhere.
std::optional<ByteStream> CreatePrivate(const std::string& path, int flags) {
    if (AskHook(FileOp::Create) == FaultAction::Fail) {
        errno = EIO;
        return std::nullopt;
    }
    if (HasZeroByte(path)) {
        errno = EINVAL;
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) return std::nullopt;
    return ByteStream::Adopt(fd);
}

}  // namespace

std::optional<ByteStream> ByteStream::CreateUnnamed(const std::string& folder) {
    return CreatePrivate(folder, O_TMPFILE | O_WRONLY);
}

std::optional<ByteStream> ByteStream::CreateExclusive(const std::string& path) {
    return CreatePrivate(path, O_WRONLY | O_CREAT | O_EXCL);
}

ByteStream::ByteStream(ByteStream&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ByteStream& ByteStream::operator=(ByteStream&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ByteStream::~ByteStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint64_t ByteStream::Size() {
    FailIfAsked(FileOp::Size, EIO);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowErrno(errno);
    return static_cast<std::uint64_t>(info.st_size);
}

bool ByteStream::IsRegularFile() {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowErrno(errno);
    return S_ISREG(info.st_mode);
}

void ByteStream::Truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) ThrowErrno(errno);
}

void ByteStream::Seek(std::uint64_t offset) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) ThrowErrno(errno);
}

std::size_t ByteStream::ReadSome(std::span<std::uint8_t> buffer) {
    const std::size_t wanted = AllowedBytes(FileOp::Read, buffer.size(), EIO);
    return TransferAll(
        wanted, [&](std::size_t done) { return ::read(fd_, buffer.data() + done, wanted - done); });
}

void ByteStream::ReadExact(std::span<std::uint8_t> buffer) {
    if (ReadSome(buffer) < buffer.size()) throw IoError(IO_READ_BEYOND_EOF);
}

void ByteStream::WriteAll(std::span<const std::uint8_t> bytes) {
    const std::size_t wanted = AllowedBytes(FileOp::Write, bytes.size(), ENOSPC);
    const std::size_t done = TransferAll(
        wanted, [&](std::size_t done) { return ::write(fd_, bytes.data() + done, wanted - done); });
    if (done < bytes.size()) throw IoError(IO_DISK_FULL);
}

void ByteStream::Sync() {
    FailIfAsked(FileOp::Sync, EIO);
    if (::fsync(fd_) != 0) ThrowErrno(errno);
}

void ByteStream::Close() {
    if (fd_ < 0) return;
    // The descriptor is released whether or not the close reports an error.
    const int fd = std::exchange(fd_, -1);
    if (AskHook(FileOp::Close) == FaultAction::Fail) {
        ::close(fd);
        ThrowErrno(EIO);
    }
    if (::close(fd) != 0 && errno != EINTR) ThrowErrno(errno);
}

void ReplaceFile(const std::string& from, const std::string& to) {
    FailIfAsked(FileOp::Rename, EACCES);
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowErrno(errno);
}

void SetFileFaultHook(FileFaultHook* hook) {
    faultHook = hook;
}

}  // namespace sonabank
