#include "playback/wav_render.h"

#include <algorithm>

#include "codec/adpcm.h"

namespace sonabank {

namespace {

void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::uint32_t SampleRateOf(int formatCode) {
    return formatCode == static_cast<int>(SoundFormat::PCM_22050) ? 22050 : 11025;
}

std::span<std::uint8_t> DecodeBuffer() {
    static std::vector<std::uint8_t> buffer(DECODE_BUFFER_SIZE);
    return buffer;
}

std::span<const std::uint8_t> FragmentSamples(const MemoryImage& image, int row,
                                              std::span<std::uint8_t> decodeBuffer) {
    const int slot = row - 1;
    // A directory from a foreign image may point anywhere: keep to the bytes
    // the image really has.
    const std::size_t start = std::min<std::size_t>(
        static_cast<std::size_t>(StartPage(image, slot)) * PAGE_SIZE, IMAGE_SIZE);
    const std::size_t length =
        std::min<std::size_t>(FragmentLength(image, slot), IMAGE_SIZE - start);
    const auto stored = image.bytes().subspan(start, length);
    if (GetFragmentFormat(image, row) != static_cast<int>(SoundFormat::ADPCM_11025)) return stored;

    const auto decodable = stored.first(std::min(stored.size(), decodeBuffer.size() / 2));
    const auto decoded = decodeBuffer.first(2 * decodable.size());
    AdpcmDecodeRun(decodable, decoded);
    return decoded;
}

std::vector<std::uint8_t> RenderWave(const MemoryImage& image, int row,
                                     std::span<std::uint8_t> decodeBuffer) {
    if (FragmentLength(image, row - 1) == 0) return {};
    const auto samples = FragmentSamples(image, row, decodeBuffer);
    const auto dataLength = static_cast<std::uint32_t>(samples.size());
    const std::uint32_t rate = SampleRateOf(GetFragmentFormat(image, row));

    std::vector<std::uint8_t> wave;
    wave.reserve(WAV_HEADER_SIZE + samples.size());
    AppendTag(wave, "RIFF");
    AppendU32(wave, dataLength + 36);
    AppendTag(wave, "WAVE");
    AppendTag(wave, "fmt ");
    AppendU32(wave, 16);
    AppendU16(wave, 1);  // PCM
    AppendU16(wave, 1);  // mono
    AppendU32(wave, rate);
    AppendU32(wave, rate);  // byte rate: one byte per sample
    AppendU16(wave, 1);     // block align
    AppendU16(wave, 8);     // bits per sample
    AppendTag(wave, "data");
    AppendU32(wave, dataLength);
    wave.insert(wave.end(), samples.begin(), samples.end());
    return wave;
}

std::uint32_t PlaybackDurationMs(std::uint32_t dataLength, std::uint32_t sampleRate) {
    // The largest fragments make (d + 36) * 1000 overflow 32 bits.
    const std::int64_t riffSize = static_cast<std::int64_t>(dataLength) + 36;
    return static_cast<std::uint32_t>(riffSize * 1000 / sampleRate);
}

}  // namespace sonabank
