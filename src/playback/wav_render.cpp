#include "playback/wav_render.h"

#include <algorithm>

#include "codec/adpcm.h"
#include "io/byte_stream.h"

namespace sonabank {

namespace {

// Decoded samples go out in pieces of this size: large enough that the
// writes cost little, small enough to stay in the cache and to keep the
// process small however large the fragment.
constexpr std::size_t kWritePiece = 64 * 1024;

// Writes little-endian fields and four-letter tags one after another.
class HeaderWriter {
  public:
    explicit HeaderWriter(std::uint8_t* out) : out_(out) {}
    void U16(std::uint16_t value) { Bytes(value, 2); }
    void U32(std::uint32_t value) { Bytes(value, 4); }
    void Tag(const char (&tag)[5]) { out_ = std::copy(tag, tag + 4, out_); }

  private:
    void Bytes(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) *out_++ = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::uint8_t* out_;
};

}  // namespace

std::span<const std::uint8_t> StoredFragment(const MemoryImage& image, int row) {
    const int slot = row - 1;
    // A directory from a foreign image may point anywhere: keep to the bytes
    // the image really has.
    const std::size_t start = std::min<std::size_t>(
        static_cast<std::size_t>(StartPage(image, slot)) * PAGE_SIZE, IMAGE_SIZE);
    const std::size_t length =
        std::min<std::size_t>(FragmentLength(image, slot), IMAGE_SIZE - start);
    return image.bytes().subspan(start, length);
}

std::size_t FragmentSampleCount(const MemoryImage& image, int row) {
    const bool adpcm = GetFragmentFormat(image, row) == static_cast<int>(SoundFormat::ADPCM_11025);
    return (adpcm ? 2 : 1) * StoredFragment(image, row).size();
}

std::span<const std::uint8_t> FragmentSamples(const MemoryImage& image, int row,
                                              CodecWorkspace& workspace) {
    const auto stored = StoredFragment(image, row);
    if (GetFragmentFormat(image, row) != static_cast<int>(SoundFormat::ADPCM_11025)) return stored;

    const std::span<std::uint8_t> decodeBuffer = workspace.DecodeBuffer();
    const auto decodable = stored.first(std::min(stored.size(), decodeBuffer.size() / 2));
    const auto decoded = decodeBuffer.first(2 * decodable.size());
    AdpcmDecodeRun(workspace.adpcm, decodable, decoded);
    return decoded;
}

std::array<std::uint8_t, WAV_HEADER_SIZE> WaveHeader(std::uint32_t dataLength,
                                                     std::uint32_t sampleRate) {
    std::array<std::uint8_t, WAV_HEADER_SIZE> header{};
    HeaderWriter out(header.data());
    out.Tag("RIFF");
    out.U32(dataLength + 36);
    out.Tag("WAVE");
    out.Tag("fmt ");
    out.U32(16);
    out.U16(1);  // PCM
    out.U16(1);  // mono
    out.U32(sampleRate);
    out.U32(sampleRate);  // byte rate: one byte per sample
    out.U16(1);           // block align
    out.U16(8);           // bits per sample
    out.Tag("data");
    out.U32(dataLength);
    return header;
}

std::vector<std::uint8_t> RenderWave(const MemoryImage& image, int row, CodecWorkspace& workspace) {
    if (FragmentLength(image, row - 1) == 0) return {};
    const auto samples = FragmentSamples(image, row, workspace);
    const auto header = WaveHeader(static_cast<std::uint32_t>(samples.size()),
                                   SampleRateOf(GetFragmentFormat(image, row)));

    std::vector<std::uint8_t> wave;
    wave.reserve(WAV_HEADER_SIZE + samples.size());
    wave.insert(wave.end(), header.begin(), header.end());
    wave.insert(wave.end(), samples.begin(), samples.end());
    return wave;
}

void WriteFragmentSamples(ByteStream& out, const MemoryImage& image, int row, AdpcmState& adpcm) {
    const auto stored = StoredFragment(image, row);
    if (GetFragmentFormat(image, row) != static_cast<int>(SoundFormat::ADPCM_11025)) {
        out.WriteAll(stored);
        return;
    }
    std::array<std::uint8_t, kWritePiece> piece;
    AdpcmReset(adpcm);
    for (std::size_t at = 0; at < stored.size(); at += piece.size() / 2) {
        const auto part = stored.subspan(at, std::min(piece.size() / 2, stored.size() - at));
        const auto decoded = std::span(piece).first(2 * part.size());
        AdpcmDecodeMore(adpcm, part, decoded);
        out.WriteAll(decoded);
    }
}

std::optional<Refusal> WriteWave(const MemoryImage& image, int row, const std::string& path,
                                 CodecWorkspace& workspace) {
    const auto header = WaveHeader(static_cast<std::uint32_t>(FragmentSampleCount(image, row)),
                                   SampleRateOf(GetFragmentFormat(image, row)));
    auto stream = ByteStream::Create(path);
    if (!stream) return Refusal::CannotCreate;
    stream->WriteAll(header);
    WriteFragmentSamples(*stream, image, row, workspace.adpcm);
    stream->Close();
    return std::nullopt;
}

std::uint32_t PlaybackDurationMs(std::uint32_t dataLength, std::uint32_t sampleRate) {
    // The largest fragments make (d + 36) * 1000 overflow 32 bits.
    const std::int64_t riffSize = static_cast<std::int64_t>(dataLength) + 36;
    return static_cast<std::uint32_t>(riffSize * 1000 / sampleRate);
}

}  // namespace sonabank
