#include "source/audio_file.h"

#include <array>
#include <exception>
#include <memory>

#include "source/audio_libraries.h"
#include "source/raw_file_source.h"
#include "source/resample.h"

namespace sonabank {

namespace {

// libsndfile reads through the program's file layer, so a failing disk is the
// same IoError here as everywhere else. The error cannot cross the C library:
// it is kept and raised again once the library call has returned.
struct VirtualFile {
    ByteStream& stream;
    sf_count_t size = 0;
    sf_count_t position = 0;
    std::exception_ptr error;

    void RaiseKeptError() const {
        if (error) std::rethrow_exception(error);
    }
};

VirtualFile& Of(void* user) {
    return *static_cast<VirtualFile*>(user);
}

sf_count_t VirtualLength(void* user) {
    return Of(user).size;
}

sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
    VirtualFile& file = Of(user);
    const sf_count_t base = whence == SEEK_CUR ? file.position : whence == SEEK_END ? file.size : 0;
    const sf_count_t target = base + offset;
    if (target < 0 || file.error) return -1;
    try {
        file.stream.Seek(static_cast<std::uint64_t>(target));
    } catch (...) {
        file.error = std::current_exception();
        return -1;
    }
    file.position = target;
    return target;
}

sf_count_t VirtualRead(void* out, sf_count_t count, void* user) {
    VirtualFile& file = Of(user);
    if (file.error || count <= 0) return 0;
    sf_count_t got = 0;
    try {
        got = static_cast<sf_count_t>(
            ReadBlock(file.stream,
                      std::span(static_cast<std::uint8_t*>(out), static_cast<std::size_t>(count))));
    } catch (...) {
        file.error = std::current_exception();
    }
    file.position += got;
    return got;
}

sf_count_t VirtualWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t VirtualTell(void* user) {
    return Of(user).position;
}

std::uint32_t ChunkSize(const std::array<std::uint8_t, 8>& header, bool bigEndian) {
    const std::uint8_t* p = header.data() + 4;
    return bigEndian ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | p[2] << 8 | p[3]
                     : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
}

// libsndfile quietly shortens the sound of a WAV or AIFF file whose data chunk
// runs past the end of the file; such a file was cut off in a copy and is
// refused instead. A size of 0 or 0xFFFFFFFF is what writers to a pipe leave
// (and RF64 keeps the real size elsewhere): the data runs to the end.
bool DataChunkFits(ByteStream& stream, std::uint64_t size) {
    std::array<std::uint8_t, 12> form;
    stream.Seek(0);
    stream.ReadExact(form);
    // RIFX and FORM (AIFF) count in big-endian order, RIFF and RF64 in little.
    const bool bigEndian = form[3] == 'X' || form[0] == 'F';
    const std::uint8_t* dataTag =
        reinterpret_cast<const std::uint8_t*>(form[0] == 'F' ? "SSND" : "data");
    std::uint64_t offset = form.size();
    std::array<std::uint8_t, 8> header;
    while (offset + header.size() <= size) {
        stream.Seek(offset);
        stream.ReadExact(header);
        const std::uint32_t length = ChunkSize(header, bigEndian);
        if (std::equal(dataTag, dataTag + 4, header.begin())) {
            return length == 0 || length == 0xFFFFFFFFu || offset + header.size() + length <= size;
        }
        offset += header.size() + length + (length & 1u);
    }
    return true;
}

// MP3 gives its length exactly only in an encoder's info frame; without one
// libsndfile estimates it from the file's size and the first frame, which may
// be up to about a frame of 1152 samples off.
sf_count_t ShortfallAllowed(AudioKind kind) {
    return kind == AudioKind::Mpeg ? 2 * 1152 : 0;
}

AudioReadResult NotDecodable(std::string detail) {
    return {Refusal::NotDecodable, std::move(detail), {}};
}

}  // namespace

AudioReadResult ReadAudioFile(ByteStream& stream, AudioKind kind, int rate, double maxSeconds) {
    const std::uint64_t size = stream.Size();
    if ((kind == AudioKind::Wav || kind == AudioKind::Aiff) && !DataChunkFits(stream, size)) {
        return NotDecodable("the sound data ends before the length its header gives");
    }
    stream.Seek(0);
    VirtualFile file{stream, static_cast<sf_count_t>(size), 0, nullptr};
    SF_VIRTUAL_IO io{VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(
        Sndfile().open_virtual(&io, SFM_READ, &info, &file), Sndfile().close);
    file.RaiseKeptError();
    if (!sound) return NotDecodable(Sndfile().strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) return NotDecodable("no channels or no rate");

    const auto maxFrames = static_cast<sf_count_t>(maxSeconds * info.samplerate) + 1;
    const bool lengthKnown = info.frames >= 0 && info.frames != SF_COUNT_MAX;
    if (lengthKnown && info.frames > maxFrames + ShortfallAllowed(kind)) {
        return {Refusal::TooBig, {}, {}};
    }

    AudioReadResult result;
    DecodedAudio& audio = result.audio;
    audio.rate = rate;
    audio.fileRate = info.samplerate;
    audio.channels = info.channels;
    StreamResampler resampler(info.samplerate, rate, ResampleQuality::VeryHigh);
    if (lengthKnown) {
        audio.samples.reserve(
            resampler.OutputLength(static_cast<std::size_t>(std::min(info.frames, maxFrames))));
    }
    constexpr sf_count_t kChunkFrames = 16384;
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * channels);
    std::vector<float> mono(static_cast<std::size_t>(kChunkFrames));
    sf_count_t decoded = 0;
    for (;;) {
        const sf_count_t frames = Sndfile().readf_float(sound.get(), chunk.data(), kChunkFrames);
        file.RaiseKeptError();
        if (frames <= 0) break;
        decoded += frames;
        if (decoded > maxFrames) return {Refusal::TooBig, {}, {}};
        const auto count = static_cast<std::size_t>(frames);
        for (std::size_t f = 0; f < count; ++f) {
            const float* frame = chunk.data() + f * channels;
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c) sum += frame[c];
            mono[f] = sum / static_cast<float>(channels);
        }
        resampler.Push(std::span(mono).first(count), audio.samples);
    }
    if (Sndfile().error(sound.get()) != SF_ERR_NO_ERROR)
        return NotDecodable(Sndfile().strerror(sound.get()));
    if (lengthKnown && decoded + ShortfallAllowed(kind) < info.frames) {
        return NotDecodable("the sound data ends before the length its header gives");
    }
    resampler.Finish(audio.samples);
    return result;
}

std::optional<AudioKind> SniffAudio(ByteStream& stream) {
    std::array<std::uint8_t, SIGNATURE_BYTES> head;
    const std::size_t got = ReadBlock(stream, head);
    stream.Seek(0);
    return RecogniseAudio(std::span(head).first(got));
}

AudioConversion ConvertAudioFile(ByteStream& stream, AudioKind kind, SoundFormat format,
                                 const GainOptions& gain) {
    // A second more than the data area holds, so that the room check, not
    // this limit, tells a file that just fits from one that does not.
    const double maxSeconds = StoredSeconds(DATA_CAPACITY, format) + 1;
    AudioReadResult read = ReadAudioFile(stream, kind, DeviceRate(format), maxSeconds);
    if (!read.ok()) return {read.refusal, std::move(read.detail), {}};
    return {std::nullopt, {}, FinishForDevice(std::move(read.audio.samples), format, gain)};
}

}  // namespace sonabank
