#include "project/project_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <system_error>

#include "image/codepage.h"
#include "io/byte_stream.h"

namespace fs = std::filesystem;

namespace sonabank {

namespace {

// Saving through a symbolic link keeps the link and replaces the file it
// names, as writing into the file in place would.
std::string ResolvedTarget(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target.string();
}

// A temporary file beside the target, so that the final rename stays on one
// file system. Nothing when no free name turns up.
std::optional<std::pair<std::string, ByteStream>> CreateTemporaryBeside(const std::string& target) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".tmp-";
        for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
        std::error_code error;
        if (fs::exists(fs::symlink_status(name, error))) continue;
        auto stream = ByteStream::Create(name);
        if (!stream) return std::nullopt;
        return std::pair{std::move(name), std::move(*stream)};
    }
    return std::nullopt;
}

// The new file takes over the permissions of the one it replaces.
void CopyPermissions(const std::string& from, const std::string& to) {
    std::error_code error;
    const auto status = fs::status(from, error);
    if (!error) fs::permissions(to, status.permissions(), error);
}

}  // namespace

std::optional<Refusal> OpenProject(const std::string& path, MemoryImage& image) {
    auto stream = ByteStream::OpenExisting(path);
    if (!stream) return Refusal::CannotOpen;

    std::array<std::uint8_t, MAGIC.size()> magic{};
    stream->Seek(MAGIC_OFFSET);
    stream->ReadExact(magic);
    if (std::string_view(reinterpret_cast<const char*>(magic.data()), magic.size()) != MAGIC) {
        stream->Close();
        return Refusal::WrongFormat;
    }

    // Read aside first: a file that ends early must not leave the image half
    // replaced.
    MemoryImage loaded;
    stream->Seek(0);
    stream->ReadExact(loaded.bytes());
    stream->Close();
    image = std::move(loaded);
    return std::nullopt;
}

std::optional<Refusal> SaveProject(const std::string& path, MemoryImage& image,
                                   std::string_view copyright) {
    if (IsReadOnlyFile(path)) return Refusal::CannotCreate;
    const std::string target = ResolvedTarget(path);
    std::error_code error;
    if (fs::exists(target, error) && !fs::is_regular_file(target, error))
        return Refusal::CannotCreate;

    auto temporary = CreateTemporaryBeside(target);
    if (!temporary) return Refusal::CannotCreate;
    auto& [temporaryName, stream] = *temporary;

    const auto field = CopyrightField(image);
    std::array<std::uint8_t, COPYRIGHT_WIDTH> previousCopyright{};
    std::ranges::copy(field, previousCopyright.begin());
    WritePaddedText(field, COPYRIGHT_WIDTH - 1, Utf8ToCp1251(copyright));
    try {
        stream.WriteAll(image.bytes());
        stream.Sync();
        stream.Close();
        CopyPermissions(target, temporaryName);
        ReplaceFile(temporaryName, target);
    } catch (...) {
        // The previous project file stays as it was, so the image must too.
        std::ranges::copy(previousCopyright, field.begin());
        RemoveFileQuietly(temporaryName);
        throw;
    }
    return std::nullopt;
}

}  // namespace sonabank
