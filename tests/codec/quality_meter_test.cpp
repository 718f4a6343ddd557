#include "codec/quality_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "codec/adpcm.h"
#include "codec/fragment_encoder.h"

namespace sonabank {
namespace {

// Encodes the samples in uneven blocks, as the import does, the meter
// measuring each block with what the encoder made of it.
QualityMeter Measured(const std::vector<std::int16_t>& samples, SoundFormat format) {
    QualityMeter meter(format);
    AdpcmState state;
    FragmentEncoder encoder(format, state);
    std::vector<std::uint8_t> stored(1000);
    std::vector<std::int16_t> played(1000);
    for (std::size_t at = 0; at < samples.size(); at += 1000) {
        const auto block =
            std::span(samples).subspan(at, std::min<std::size_t>(1000, samples.size() - at));
        encoder.Encode(block, stored.data(), played.data());
        meter.Measure(block, std::span(played).first(block.size()));
    }
    return meter;
}

TEST(QualityMeter, SnrIsThatOfTheDecodedStoredBytes) {
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 3000);
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 20001; ++i) {
        const double x = 12000 * std::sin(i * 0.07) + noise(rng);
        samples.push_back(static_cast<std::int16_t>(std::clamp(x, -32768.0, 32767.0)));
    }
    const QualityMeter meter = Measured(samples, SoundFormat::ADPCM_11025);

    // The stored bytes, decoded as the device does.
    AdpcmState state;
    FragmentEncoder encoder(SoundFormat::ADPCM_11025, state);
    std::vector<std::uint8_t> stored(samples.size());
    stored.resize(encoder.Encode(samples, stored.data()));
    std::vector<std::uint8_t> played(2 * stored.size());
    AdpcmDecodeRun(state, stored, played);
    double signal = 0;
    double error = 0;
    for (std::size_t i = 0; i < played.size(); ++i) {
        const double d = samples[i] - (played[i] - 128) * 256.0;
        signal += static_cast<double>(samples[i]) * samples[i];
        error += d * d;
    }

    const QualityReport report = meter.Report(static_cast<std::uint32_t>(stored.size()));
    ASSERT_TRUE(report.adpcmSnrDb);
    // The meter also counts the odd last sample, which is not stored.
    EXPECT_NEAR(*report.adpcmSnrDb, 10 * std::log10(signal / error), 0.001);
    EXPECT_DOUBLE_EQ(report.durationSeconds, 20000 / 11025.0);
    EXPECT_EQ(report.rate, 11025);
}

TEST(QualityMeter, PeakAndNoSnrForPcmOrSilence) {
    const std::vector<std::int16_t> samples = {0, 100, -16384, 200};
    const std::vector<std::int16_t> silence(10, 0);
    const struct {
        const std::vector<std::int16_t>& samples;
        SoundFormat format;
        double peak;
        bool snr;
    } cases[] = {
        {samples, SoundFormat::PCM_22050, 20 * std::log10(0.5), false},
        {samples, SoundFormat::ADPCM_11025, 20 * std::log10(0.5), true},
        {silence, SoundFormat::ADPCM_11025, -INFINITY, false},
    };
    for (const auto& c : cases) {
        const QualityReport report =
            Measured(c.samples, c.format).Report(static_cast<std::uint32_t>(c.samples.size()));
        EXPECT_DOUBLE_EQ(report.peakDbfs, c.peak);
        EXPECT_EQ(report.adpcmSnrDb.has_value(), c.snr);
        EXPECT_EQ(report.format, c.format);
    }
}

}  // namespace
}  // namespace sonabank
