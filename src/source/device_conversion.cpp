#include "source/device_conversion.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "source/gain.h"
#include "source/resample.h"

namespace sonabank {

namespace {

float ToFloat(std::int16_t sample) {
    return static_cast<float>(sample) / 32768.0f;
}

double PeakOf(std::span<const float> signal) {
    float peak = 0;
    for (const float x : signal) peak = std::max(peak, std::fabs(x));
    return peak;
}

// The gain in dB that brings the signal to the level asked for; 0 for
// silence, which no gain can bring anywhere.
double GainFor(std::span<const float> signal, int rate, const GainOptions& options) {
    if (options.loudnessLufs) {
        const double loudness = IntegratedLoudness(signal, rate);
        return std::isfinite(loudness) ? *options.loudnessLufs - loudness : 0.0;
    }
    if (options.peakDbfs) {
        // 0 dBFS is the largest 16-bit sample, not the one just beyond it.
        const double target = std::min(*options.peakDbfs, 20 * std::log10(double{FULL_SCALE}));
        const double peak = PeakOf(signal);
        return peak > 0 ? target - 20 * std::log10(peak) : 0.0;
    }
    return 0.0;
}

std::int16_t To16(float x) {
    return static_cast<std::int16_t>(std::clamp(std::lround(x * 32768.0f), -32768L, 32767L));
}

// Triangular noise of one 8-bit step (256 in 16-bit units) either side,
// from a fixed seed so that the same source always gives the same bytes.
void AddDither(std::vector<std::int16_t>& samples) {
    std::minstd_rand generator(1);
    std::uniform_int_distribution<int> half(0, 256);
    for (std::int16_t& s : samples) {
        const int noise = half(generator) - half(generator);
        s = static_cast<std::int16_t>(std::clamp(s + noise, -32768, 32767));
    }
}

}  // namespace

int DeviceRate(SoundFormat format) {
    return static_cast<int>(SampleRateOf(static_cast<int>(format)));
}

double StoredSeconds(std::uint64_t storedBytes, SoundFormat format) {
    const double samples =
        static_cast<double>(storedBytes) * (format == SoundFormat::ADPCM_11025 ? 2 : 1);
    return samples / DeviceRate(format);
}

DeviceSound ConvertToDevice(std::span<const float> mono, int sourceRate, SoundFormat format,
                            const GainOptions& gain) {
    return FinishForDevice(Resample(mono, sourceRate, DeviceRate(format)), format, gain);
}

DeviceSound FinishForDevice(std::vector<float> signal, SoundFormat format,
                            const GainOptions& gain) {
    DeviceSound sound;
    sound.rate = DeviceRate(format);
    sound.gainDb = GainFor(signal, sound.rate, gain);
    if (sound.gainDb != 0) {
        const auto factor = static_cast<float>(std::pow(10.0, sound.gainDb / 20));
        for (float& x : signal) x *= factor;
    }
    // A level the user asked for is made safe for the player's output as
    // well; without gain the signal keeps its own level and only the samples
    // that cannot be stored (resampling may overshoot) are limited.
    sound.clippedSamples = LimitToFullScale(signal, sound.rate, gain.any());
    sound.samples.resize(signal.size());
    std::transform(signal.begin(), signal.end(), sound.samples.begin(), To16);
    if (gain.dither && format != SoundFormat::ADPCM_11025) AddDither(sound.samples);
    return sound;
}

DeviceSound ConvertToDevice(std::span<const std::int16_t> mono, int sourceRate, SoundFormat format,
                            const GainOptions& gain) {
    std::vector<float> signal(mono.size());
    std::transform(mono.begin(), mono.end(), signal.begin(), ToFloat);
    return ConvertToDevice(signal, sourceRate, format, gain);
}

std::size_t DeviceSoundSource::Read(std::span<std::int16_t> samples) {
    const std::size_t count = std::min(samples.size(), samples_.size());
    std::copy_n(samples_.begin(), count, samples.begin());
    samples_ = samples_.subspan(count);
    return count;
}

}  // namespace sonabank
