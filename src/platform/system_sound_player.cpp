#include "platform/system_sound_player.h"

#include <algorithm>
#include <chrono>

#include "platform/output_stream.h"
#include "playback/wav_render.h"

namespace sonabank {

namespace {

constexpr std::size_t RATE_OFFSET = 24;
constexpr std::size_t DATA_LENGTH_OFFSET = 40;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// PulseAudio first, as every desktop of the day runs it (or PipeWire's
// service in its place); ALSA's default device when no server answers.
OpenedStream OpenOutput(std::uint32_t rate, std::size_t length) {
    OpenedStream pulse = OpenPulseStream(rate, length);
    if (pulse.stream) return pulse;
    OpenedStream alsa = OpenAlsaStream(rate);
    if (!alsa.stream) alsa.error = pulse.error + "; " + alsa.error;
    return alsa;
}

}  // namespace

SystemSoundPlayer::~SystemSoundPlayer() {
    Stop();
}

void SystemSoundPlayer::Play(std::span<const std::uint8_t> wave) {
    Stop();
    if (wave.size() < WAV_HEADER_SIZE) return;
    const std::uint32_t rate = ReadU32(wave, RATE_OFFSET);
    // A header that claims more data than the image holds plays what is there.
    const std::size_t dataLength =
        std::min<std::size_t>(ReadU32(wave, DATA_LENGTH_OFFSET), wave.size() - WAV_HEADER_SIZE);
    {
        const std::lock_guard lock(statusLock_);
        status_ = {SoundState::Playing, {}};
    }
    stopping_ = false;
    std::promise<void> opened;
    std::future<void> open = opened.get_future();
    worker_ = std::thread(&SystemSoundPlayer::Run, this, wave.subspan(WAV_HEADER_SIZE, dataLength),
                          rate, std::move(opened));
    open.wait();
}

void SystemSoundPlayer::Stop() {
    if (!worker_.joinable()) return;
    stopping_ = true;
    worker_.join();
    const std::lock_guard lock(statusLock_);
    status_ = {};
}

SoundStatus SystemSoundPlayer::Status() const {
    const std::lock_guard lock(statusLock_);
    return status_;
}

void SystemSoundPlayer::Run(std::span<const std::uint8_t> samples, std::uint32_t rate,
                            std::promise<void> opened) {
    const OpenedStream output = OpenOutput(rate, samples.size());
    if (!output.stream) End(SoundState::NoOutput, output.error);
    opened.set_value();
    if (!output.stream) return;
    OutputStream& stream = *output.stream;
    // Stop waits for at most one chunk to be taken by the output.
    const std::size_t chunk = std::max<std::size_t>(1, SamplesIn(CHUNK_MS, rate));
    while (!samples.empty()) {
        if (stopping_) return;
        const auto part = samples.first(std::min(chunk, samples.size()));
        if (!stream.Write(part)) return End(SoundState::NoOutput, stream.Error());
        samples = samples.subspan(part.size());
    }
    // What the output holds plays out in chunk-long waits, so that a Stop
    // still cuts it short; the drain then only confirms the end.
    const auto delay = stream.Delay();
    if (!delay) return End(SoundState::NoOutput, stream.Error());
    const auto heard = std::chrono::steady_clock::now() + *delay;
    for (auto now = std::chrono::steady_clock::now(); now < heard;
         now = std::chrono::steady_clock::now()) {
        if (stopping_) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            heard - now, std::chrono::milliseconds(CHUNK_MS)));
    }
    if (!stream.Drain()) return End(SoundState::NoOutput, stream.Error());
    End(SoundState::Drained);
}

void SystemSoundPlayer::End(SoundState state, std::string reason) {
    {
        const std::lock_guard lock(statusLock_);
        status_ = {state, std::move(reason)};
    }
    if (onEnded) onEnded();
}

}  // namespace sonabank
