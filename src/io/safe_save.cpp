#include "io/safe_save.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include "io/byte_stream.h"

namespace fs = std::filesystem;

namespace sonabank {

namespace {

// Saving through a symbolic link keeps the link and replaces the file it
// names, as writing into the file in place would.
fs::path ResolvedTarget(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? fs::path(path) : target;
}

fs::path FolderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// Leaves room for the suffix within the 255 bytes a name may have, however
// long the target's name is.
constexpr std::size_t kNameBytesKept = 200;

std::string TemporaryName(const std::string& base) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = base.substr(0, kNameBytesKept) + ".tmp-";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    return name;
}

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

mode_t ModeForNewFiles() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes a rename or a new name survive a power loss.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; that is no failure.
    if (synced != 0 && error != EINVAL && error != EROFS) throw IoError(IoCodeFromErrno(error));
}

// The new content, written and synced before the target is touched. It has
// no name while it is written where the file system allows that, so a crash
// leaves nothing behind; otherwise only its owner can open it.
class PrivateCopy {
  public:
    // Nothing, with the errno of the failure, when the folder takes no file.
    static std::optional<PrivateCopy> CreateIn(const fs::path& folder, const std::string& base,
                                               int& error) {
        if (auto stream = ByteStream::CreateUnnamed(folder)) {
            return PrivateCopy(std::move(*stream), folder, base, {});
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != EEXIST) break;
            const fs::path name = folder / TemporaryName(base);
            if (auto stream = ByteStream::CreateExclusive(name)) {
                return PrivateCopy(std::move(*stream), folder, base, name);
            }
        }
        error = errno;
        return std::nullopt;
    }

    PrivateCopy(PrivateCopy&& other) noexcept
        : stream_(std::move(other.stream_)),
          folder_(std::move(other.folder_)),
          base_(std::move(other.base_)),
          name_(std::move(other.name_)),
          kept_(std::exchange(other.kept_, true)) {}
    PrivateCopy& operator=(PrivateCopy&&) = delete;
    ~PrivateCopy() {
        if (!name_.empty() && !kept_) ::unlink(name_.c_str());
    }

    int descriptor() const { return stream_.descriptor(); }
    const fs::path& folder() const { return folder_; }
    const fs::path& name() const { return name_; }

    // Writes, syncs, gives the copy a name in its folder and closes it.
    void Write(std::span<const std::uint8_t> bytes) {
        stream_.WriteAll(bytes);
        stream_.Sync();
        if (name_.empty()) Link();
        stream_.Close();
    }
    // The copy stays where it is, for the user to find.
    void Keep() { kept_ = true; }

  private:
    PrivateCopy(ByteStream stream, fs::path folder, std::string base, fs::path name)
        : stream_(std::move(stream)),
          folder_(std::move(folder)),
          base_(std::move(base)),
          name_(std::move(name)) {}

    void Link() {
        const std::string self = "/proc/self/fd/" + std::to_string(stream_.descriptor());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path name = folder_ / TemporaryName(base_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                name_ = name;
                return;
            }
            if (errno != EEXIST) break;
        }
        throw IoError(IoCodeFromErrno(errno));
    }

    ByteStream stream_;
    fs::path folder_;
    std::string base_;
    fs::path name_;
    bool kept_ = false;
};

// Overwrites the target itself, so that its inode, and with it every hard
// link, owner and mode, stays.
bool WriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes, PrivateCopy& copy) {
    auto stream = ByteStream::OpenExisting(target);
    if (!stream) return false;
    try {
        stream->WriteAll(bytes);
        stream->Truncate(bytes.size());
        stream->Sync();
        stream->Close();
    } catch (const IoError& error) {
        copy.Keep();
        throw IoError(error.code(), "The new content is kept in " + copy.name().string() + ".");
    }
    return true;
}

}  // namespace

bool ReplaceContentSafely(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (HasZeroByte(path) || IsReadOnlyFile(path)) return false;
    const fs::path target = ResolvedTarget(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;
    const std::string base = target.filename().string();

    int error = 0;
    std::optional<PrivateCopy> copy = PrivateCopy::CreateIn(FolderOf(target), base, error);
    bool inPlace = false;
    if (!copy) {
        // A writable file in a folder that is not: the copy goes elsewhere and
        // the content in place.
        if (!exists || !IsPermissionError(error)) return false;
        std::error_code noTemp;
        auto elsewhere = PrivateCopy::CreateIn(fs::temp_directory_path(noTemp), base, error);
        if (!elsewhere) return false;
        copy.emplace(std::move(*elsewhere));
        inPlace = true;
    } else if (exists) {
        // A rename would cut the other links off and, where the owner cannot
        // be given to the new file, hand the file to whoever saves it.
        inPlace = old.st_nlink > 1 || ::fchown(copy->descriptor(), old.st_uid, old.st_gid) != 0;
    }
    // The final mode before the first byte: the content is never more open
    // than the file it becomes. A copy for an in-place write stays private.
    if (!inPlace &&
        ::fchmod(copy->descriptor(), exists ? old.st_mode & 07777 : ModeForNewFiles()) != 0) {
        throw IoError(IoCodeFromErrno(errno));
    }
    copy->Write(bytes);
    if (inPlace) {
        // The copy must outlast a power loss before the target is touched.
        SyncFolder(copy->folder());
        return WriteInPlace(target, bytes, *copy);
    }
    ReplaceFile(copy->name(), target);
    copy->Keep();
    SyncFolder(copy->folder());
    return true;
}

}  // namespace sonabank
