#include "source/device_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "source/gain.h"
#include "source/resample.h"
#include "support/audio_tools.h"

namespace sonabank {
namespace {

std::vector<float> Tone(double frequency, int rate, double seconds, double amplitude,
                        double phase = 0) {
    std::vector<float> samples(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(
            amplitude *
            std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate + phase));
    }
    return samples;
}

double PeakDbfs(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (const std::int16_t s : samples) peak = std::max(peak, std::abs(int{s}));
    return 20 * std::log10(peak / 32768.0);
}

std::vector<double> AsDouble(const std::vector<std::int16_t>& samples) {
    return {samples.begin(), samples.end()};
}

std::vector<float> AsFloat(const std::vector<std::int16_t>& samples) {
    std::vector<float> out;
    for (const std::int16_t s : samples) out.push_back(s / 32768.0f);
    return out;
}

TEST(DeviceConversion, AtTheFormatsRateWithoutGainTheSamplesPassUnchanged) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::vector<std::int16_t> samples = {0, -32768, 32767, -1, 1};
    for (int i = 0; i < 5000; ++i) samples.push_back(static_cast<std::int16_t>(any(rng)));
    for (const SoundFormat format :
         {SoundFormat::PCM_22050, SoundFormat::PCM_11025, SoundFormat::ADPCM_11025}) {
        const DeviceSound sound = ConvertToDevice(samples, DeviceRate(format), format, {});
        EXPECT_EQ(sound.samples, samples) << static_cast<int>(format);
        EXPECT_EQ(sound.clippedSamples, 0u);
    }
}

TEST(DeviceConversion, ResamplingKeepsDurationAndPitch) {
    const struct {
        int sourceRate;
        SoundFormat format;
    } cases[] = {
        {44100, SoundFormat::ADPCM_11025}, {48000, SoundFormat::PCM_11025},
        {48000, SoundFormat::PCM_22050},   {8000, SoundFormat::PCM_22050},
        {32000, SoundFormat::PCM_11025},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sourceRate);
        const std::vector<float> tone = Tone(1000, c.sourceRate, 1.5, 0.5);
        const DeviceSound sound = ConvertToDevice(tone, c.sourceRate, c.format, {});
        EXPECT_EQ(sound.rate, DeviceRate(c.format));
        EXPECT_NEAR(static_cast<double>(sound.samples.size()), 1.5 * sound.rate, 1.0);
        EXPECT_NEAR(test::ToneFrequency(AsDouble(sound.samples), sound.rate), 1000, 1.0);
        // The tone's abrupt ends ring a little.
        EXPECT_NEAR(PeakDbfs(sound.samples), 20 * std::log10(0.5), 0.2);
    }
}

// Audio files are resampled as they are decoded, a piece at a time.
TEST(DeviceConversion, ResamplingInPiecesGivesWhatResamplingAtOnceGives) {
    for (const int sourceRate : {44100, 48000, 16000}) {
        SCOPED_TRACE(sourceRate);
        const std::vector<float> tone = Tone(440, sourceRate, 1.3, 0.5);
        StreamResampler resampler(sourceRate, 11025, ResampleQuality::VeryHigh);
        std::vector<float> pieces;
        for (std::size_t from = 0, size = 1; from < tone.size();
             from += size, size = size * 3 + 7) {
            resampler.Push(std::span(tone).subspan(from, std::min(size, tone.size() - from)),
                           pieces);
        }
        resampler.Finish(pieces);
        const std::vector<float> atOnce = Resample(tone, sourceRate, 11025);
        ASSERT_EQ(pieces.size(), atOnce.size());
        for (std::size_t i = 0; i < atOnce.size(); ++i)
            ASSERT_NEAR(pieces[i], atOnce[i], 1e-6) << i;
    }
}

TEST(DeviceConversion, GainReachesTheAskedLevelWhateverTheSourceLevel) {
    for (const double amplitude : {0.05, 0.2, 0.8}) {
        SCOPED_TRACE(amplitude);
        const std::vector<float> tone = Tone(700, 44100, 2, amplitude);
        const DeviceSound peak =
            ConvertToDevice(tone, 44100, SoundFormat::PCM_22050, {.peakDbfs = -1});
        EXPECT_NEAR(PeakDbfs(peak.samples), -1, 0.1);
        EXPECT_NEAR(peak.gainDb, -1 - 20 * std::log10(amplitude), 0.1);

        const DeviceSound loud =
            ConvertToDevice(tone, 44100, SoundFormat::ADPCM_11025, {.loudnessLufs = -16});
        EXPECT_NEAR(IntegratedLoudness(AsFloat(loud.samples), loud.rate), -16, 0.1);
        EXPECT_EQ(loud.clippedSamples, 0u);
    }
}

TEST(DeviceConversion, SilenceGetsNoGain) {
    const std::vector<float> silence(22050, 0.0f);
    for (const GainOptions gain : {GainOptions{.loudnessLufs = -16}, GainOptions{.peakDbfs = -1}}) {
        const DeviceSound sound = ConvertToDevice(silence, 22050, SoundFormat::PCM_22050, gain);
        EXPECT_EQ(sound.gainDb, 0);
        EXPECT_TRUE(std::all_of(sound.samples.begin(), sound.samples.end(),
                                [](std::int16_t s) { return s == 0; }));
    }
}

// Samples beyond full scale are counted and limited, not cut flat; with gain
// asked for, the peaks between the samples are kept below full scale too.
TEST(DeviceConversion, NothingClips) {
    const int rate = 22050;
    const std::vector<float> over = Tone(1000, rate, 1, 2.0);
    const auto overCount =
        static_cast<std::size_t>(std::count_if(over.begin(), over.end(), [](float x) {
            return std::lround(std::fabs(x) * 32768) > 32767;
        }));
    // A tone at a quarter of the rate, sampled 45 degrees off its crests:
    // samples at 0.707 of a true peak that lies between them.
    const std::vector<float> between =
        Tone(rate / 4.0, rate, 1, 0.5 * std::numbers::sqrt2, std::numbers::pi / 4);
    const struct {
        const char* name;
        const std::vector<float>& signal;
        GainOptions gain;
        std::size_t clipped;
        double maxPeakDbfs;
        double minPeakDbfs;
    } cases[] = {
        {"6 dB over, no gain", over, {}, overCount, 0, -1},
        {"true peak 3 dB above the samples, peak 0 asked", between, {.peakDbfs = 0}, 0, -2.5, -3.5},
        {"same without gain keeps its level", between, {}, 0, -6.0, -6.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceSound sound = ConvertToDevice(c.signal, rate, SoundFormat::PCM_22050, c.gain);
        EXPECT_EQ(sound.clippedSamples, c.clipped);
        const double peak = PeakDbfs(sound.samples);
        EXPECT_LE(peak, c.maxPeakDbfs);
        EXPECT_GE(peak, c.minPeakDbfs);
        // Cut flat, two thirds of the samples would sit at the top.
        const auto atTop = std::count_if(sound.samples.begin(), sound.samples.end(),
                                         [](std::int16_t s) { return std::abs(s) >= 32700; });
        EXPECT_LT(atTop, rate / 10);
    }
}

TEST(DeviceConversion, DitherIsOneEightBitStepForPcmOnlyAndRepeatable) {
    const std::vector<float> tone = Tone(300, 22050, 1, 0.01);
    for (const SoundFormat format :
         {SoundFormat::PCM_22050, SoundFormat::PCM_11025, SoundFormat::ADPCM_11025}) {
        SCOPED_TRACE(static_cast<int>(format));
        const DeviceSound plain = ConvertToDevice(tone, 22050, format, {});
        const DeviceSound dithered = ConvertToDevice(tone, 22050, format, {.dither = true});
        EXPECT_EQ(ConvertToDevice(tone, 22050, format, {.dither = true}).samples, dithered.samples);
        int largest = 0;
        double sum = 0;
        for (std::size_t i = 0; i < plain.samples.size(); ++i) {
            const int d = dithered.samples[i] - plain.samples[i];
            largest = std::max(largest, std::abs(d));
            sum += d;
        }
        if (format == SoundFormat::ADPCM_11025) {
            EXPECT_EQ(largest, 0);
        } else {
            EXPECT_GT(largest, 128);
            EXPECT_LE(largest, 256);
            EXPECT_NEAR(sum / static_cast<double>(plain.samples.size()), 0, 5);
        }
    }
}

}  // namespace
}  // namespace sonabank
