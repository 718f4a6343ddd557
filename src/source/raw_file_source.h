#pragma once

// A headerless RAW file as a sample source: 8-bit unsigned (128 = zero) or
// 16-bit signed little-endian mono samples, as the user declares.

#include <optional>
#include <string>
#include <vector>

#include "io/byte_stream.h"
#include "source/sample_source.h"

namespace sonabank {

enum class SourceWidth { Bits8, Bits16 };

// Fills the block unless the file ends first; returns the bytes read.
std::size_t ReadBlock(ByteStream& stream, std::span<std::uint8_t> block);

class RawFileSource : public SampleSource {
  public:
    // Opens the file with read and write access, as every file the program
    // reads, and takes its size: nothing when it cannot be opened (missing,
    // read-only, ...); IoError when its size cannot be had.
    static std::optional<RawFileSource> Open(const std::string& path, SourceWidth width);
    // The same over a file already open, read from where it stands.
    static RawFileSource FromStream(ByteStream stream, SourceWidth width);

    // The file's size over the sample width, rounded down: an odd last byte
    // of a 16-bit file is no sample.
    std::optional<std::uint64_t> KnownLength() const override { return length_; }
    // An 8-bit sample b becomes (b - 128) * 256: 0 -> -32768, 128 -> 0,
    // 255 -> 32512, so that its top 8 bits are b made signed.
    std::size_t Read(std::span<std::int16_t> samples) override;
    void Close() override { stream_.Close(); }

  private:
    RawFileSource(ByteStream stream, SourceWidth width, std::uint64_t length);

    ByteStream stream_;
    SourceWidth width_;
    std::uint64_t length_;
    std::vector<std::uint8_t> bytes_;  // one block of the file, reused
};

}  // namespace sonabank
