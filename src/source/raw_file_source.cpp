#include "source/raw_file_source.h"

#include <utility>

namespace sonabank {

namespace {

std::size_t BytesPerSample(SourceWidth width) {
    return width == SourceWidth::Bits16 ? 2 : 1;
}

}  // namespace

std::size_t ReadBlock(ByteStream& stream, std::span<std::uint8_t> block) {
    std::size_t got = 0;
    while (got < block.size()) {
        const std::size_t n = stream.ReadSome(block.subspan(got));
        if (n == 0) break;
        got += n;
    }
    return got;
}

std::optional<RawFileSource> RawFileSource::Open(const std::string& path, SourceWidth width) {
    std::optional<ByteStream> stream = ByteStream::OpenExisting(path);
    if (!stream) return std::nullopt;
    return FromStream(std::move(*stream), width);
}

RawFileSource RawFileSource::FromStream(ByteStream stream, SourceWidth width) {
    const std::uint64_t length = stream.Size() / BytesPerSample(width);
    return RawFileSource(std::move(stream), width, length);
}

RawFileSource::RawFileSource(ByteStream stream, SourceWidth width, std::uint64_t length)
    : stream_(std::move(stream)), width_(width), length_(length) {}

std::size_t RawFileSource::Read(std::span<std::int16_t> samples) {
    const std::size_t width = BytesPerSample(width_);
    bytes_.resize(samples.size() * width);
    const std::size_t count = ReadBlock(stream_, bytes_) / width;
    const std::uint8_t* in = bytes_.data();
    if (width_ == SourceWidth::Bits8) {
        for (std::size_t k = 0; k < count; ++k) {
            samples[k] = static_cast<std::int16_t>((in[k] - 128) * 256);
        }
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            samples[k] = static_cast<std::int16_t>(
                static_cast<std::uint16_t>(in[2 * k] | in[2 * k + 1] << 8));
        }
    }
    return count;
}

}  // namespace sonabank
