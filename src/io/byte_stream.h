#pragma once

// The byte-stream file layer. Opening is checked by the callers and reported
// as a refusal; any failure after a successful open throws IoError with the
// runtime's error code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace sonabank {

// Error codes of the runtime's input/output errors.
constexpr int IO_FILE_NOT_FOUND = 2;
constexpr int IO_INVALID_FILENAME = 3;
constexpr int IO_TOO_MANY_OPEN_FILES = 4;
constexpr int IO_ACCESS_DENIED = 5;
constexpr int IO_READ_BEYOND_EOF = 100;
constexpr int IO_DISK_FULL = 101;
constexpr int IO_INVALID_NUMERIC_INPUT = 106;

// An errno without a code of its own above becomes this plus the errno, shown
// as "I/O error 1100." for ENETDOWN: above every listed code, so that no errno
// can pass for one of them (ENETDOWN is 100, "Read beyond end of file").
constexpr int IO_ERRNO_BASE = 1000;

// The runtime's error code for an errno value.
int IoCodeFromErrno(int error);

// The error's text as the general error box shows it, full stop included:
// "Read beyond end of file." for 100, "I/O error 42." for an unlisted code.
std::string IoErrorText(int code);

class IoError : public std::runtime_error {
public:
    explicit IoError(int code);
    // The error's text followed by `detail`, e.g. where a copy was kept.
    IoError(int code, const std::string& detail);
    int code() const { return code_; }

private:
    int code_;
};

// True when the file exists and none of its write permission bits is set.
// Root may write such a file anyway; the program treats it as read-only so
// that every user sees the same behaviour.
bool IsReadOnlyFile(const std::string& path);

// A zero byte would end the path early and name another file; such a path
// names no file at all.
bool HasZeroByte(const std::string& path);

// Whether both paths name the same file (same device and inode, so also
// through symbolic and hard links). False when either names no file.
bool SameFile(const std::string& a, const std::string& b);

// What tells one content of a file from the next: which file the path
// names, its size, and when its content was last written (not its mode or
// owner).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file `path` names; none when it names no file.
std::optional<FileStamp> StampOf(const std::string& path);

class ByteStream {
public:
    // An existing file for reading and writing; nothing when it is missing,
    // read-only or cannot be opened.
    static std::optional<ByteStream> OpenExisting(const std::string& path);
    // An existing file for reading only; its write permissions do not matter.
    static std::optional<ByteStream> OpenForReading(const std::string& path);
    // A new file for writing, replacing an existing one; nothing on failure.
    // A FIFO without a reader is refused rather than waited for.
    static std::optional<ByteStream> Create(const std::string& path);
    // A file without a name in `folder` (O_TMPFILE), mode 0600, so that
    // nobody else can open it; nothing with errno set on failure (EOPNOTSUPP
    // and the like where the file system cannot make one).
    static std::optional<ByteStream> CreateUnnamed(const std::string& folder);
    // A new file of mode 0600 at `path`; nothing with errno set on failure
    // (EEXIST when the name is taken).
    static std::optional<ByteStream> CreateExclusive(const std::string& path);
    // Takes over an open descriptor (closed with the stream).
    static ByteStream Adopt(int fd) { return ByteStream(fd); }

    ByteStream(ByteStream&& other) noexcept;
    ByteStream& operator=(ByteStream&& other) noexcept;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    ~ByteStream();  // closes quietly if Close() was not called

    std::uint64_t Size();
    // False for a folder, a FIFO, a device, ...
    bool IsRegularFile();
    // Cuts or extends the file to `size` bytes.
    void Truncate(std::uint64_t size);
    int descriptor() const { return fd_; }
    void Seek(std::uint64_t offset);
    // Reads up to buffer.size() bytes; fewer (or none) at the end of the file.
    std::size_t ReadSome(std::span<std::uint8_t> buffer);
    // Reads exactly buffer.size() bytes; error 100 when the file ends first.
    void ReadExact(std::span<std::uint8_t> buffer);
    // Writes all bytes; error 101 when fewer were written.
    void WriteAll(std::span<const std::uint8_t> bytes);
    // Flushes to the disk.
    void Sync();
    void Close();

private:
    explicit ByteStream(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Renames `from` over `to` in one step.
void ReplaceFile(const std::string& from, const std::string& to);

// Test seam: every file operation asks the hook first, so tests can make the
// N-th open, read, write, ... fail or come up short.
enum class FileOp { Open, Create, Size, Read, Write, Sync, Rename, Close };
enum class FaultAction { Proceed, Fail, Short };
class FileFaultHook {
public:
    virtual ~FileFaultHook() = default;
    virtual FaultAction Before(FileOp op) = 0;
};
// nullptr turns fault injection off (the default).
void SetFileFaultHook(FileFaultHook* hook);

}  // namespace sonabank
