#include "project/project_file.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

#include "image/codepage.h"
#include "io/byte_stream.h"
#include "io/safe_save.h"

namespace sonabank {

namespace {

std::optional<ByteStream> OpenFor(const std::string& path, ProjectAccess access) {
    return access == ProjectAccess::Edit ? ByteStream::OpenExisting(path)
                                         : ByteStream::OpenForReading(path);
}

}  // namespace

std::variant<MemoryImage, Refusal> ReadProject(const std::string& path, ProjectAccess access) {
    auto stream = OpenFor(path, access);
    if (!stream) return Refusal::CannotOpen;
    // A FIFO or a device would be read as if it were an image, or not at all.
    if (!stream->IsRegularFile()) {
        stream->Close();
        return Refusal::CannotOpen;
    }

    std::array<std::uint8_t, MAGIC.size()> magic{};
    stream->Seek(MAGIC_OFFSET);
    stream->ReadExact(magic);
    if (std::string_view(reinterpret_cast<const char*>(magic.data()), magic.size()) != MAGIC) {
        stream->Close();
        return Refusal::WrongFormat;
    }

    MemoryImage loaded{MemoryImage::ForOverwrite{}};
    stream->Seek(0);
    stream->ReadExact(loaded.bytes());
    stream->Close();
    return loaded;
}

std::optional<Refusal> OpenProject(const std::string& path, MemoryImage& image,
                                   ProjectAccess access) {
    // Read aside first: a file that ends early must not leave the image half
    // replaced.
    auto read = ReadProject(path, access);
    if (const Refusal* refusal = std::get_if<Refusal>(&read)) return *refusal;
    image = std::move(std::get<MemoryImage>(read));
    return std::nullopt;
}

std::string CannotOpenCause(const std::string& path, ProjectAccess access) {
    if (HasZeroByte(path)) return "the name holds a zero byte";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT && ::lstat(path.c_str(), &info) == 0) {
            return "a symbolic link to a missing file";
        }
        return std::strerror(error);
    }
    if (S_ISDIR(info.st_mode)) return "a folder, not a file";
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    if (access == ProjectAccess::Edit && IsReadOnlyFile(path)) return "the file is read-only";
    if (auto stream = OpenFor(path, access)) return "the file vanished while it was opened";
    return std::strerror(errno);
}

std::string CannotCreateCause(const std::string& path) {
    if (HasZeroByte(path)) return "the name holds a zero byte";
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return "a folder, not a file";
        if (S_ISFIFO(info.st_mode)) return "a pipe that nobody reads";
        if (IsReadOnlyFile(path)) return "the file is read-only";
        return ::access(path.c_str(), W_OK) != 0 ? std::strerror(errno) : "refused by the system";
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    int error = 0;
    if (::stat(folder.c_str(), &info) != 0) {
        error = errno;
    } else if (!S_ISDIR(info.st_mode)) {
        error = ENOTDIR;
    } else if (::access(folder.c_str(), W_OK) != 0) {
        error = errno;
    }
    if (error != 0) return "its folder: " + std::string(std::strerror(error));
    return "refused by the system";
}

std::optional<Refusal> SaveProject(const std::string& path, MemoryImage& image,
                                   std::string_view copyright) {
    const auto field = CopyrightField(image);
    std::array<std::uint8_t, COPYRIGHT_WIDTH> previousCopyright{};
    std::ranges::copy(field, previousCopyright.begin());
    WritePaddedText(field, COPYRIGHT_WIDTH - 1, Utf8ToCp1251(copyright));
    try {
        const auto refusal = SaveProjectAsIs(path, image);
        // The previous project file stays as it was, so the image must too.
        if (refusal) std::ranges::copy(previousCopyright, field.begin());
        return refusal;
    } catch (...) {
        std::ranges::copy(previousCopyright, field.begin());
        throw;
    }
}

std::optional<Refusal> SaveProjectAsIs(const std::string& path, const MemoryImage& image) {
    if (!ReplaceContentSafely(path, image.bytes())) return Refusal::CannotCreate;
    return std::nullopt;
}

}  // namespace sonabank
