#include "codec/quality_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "source/device_conversion.h"

namespace sonabank {

void QualityMeter::Measure(std::span<const std::int16_t> samples,
                           std::span<const std::int16_t> played) {
    for (const std::int16_t x : samples) peak_ = std::max(peak_, std::abs(int{x}));
    if (format_ != SoundFormat::ADPCM_11025) return;
    // Every square fits 32 unsigned bits (|error| <= 65535); squared that
    // way, the loop runs on vector registers.
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::int32_t x = samples[i];
        const std::int32_t heard = (((played[i] + 32768) >> 8) - 128) * 256;
        const auto ux = static_cast<std::uint32_t>(x);
        const auto error = static_cast<std::uint32_t>(x - heard);
        signal_ += ux * ux;
        noise_ += error * error;
    }
}

QualityReport QualityMeter::Report(std::uint32_t storedLength) const {
    QualityReport report;
    report.format = format_;
    const bool adpcm = format_ == SoundFormat::ADPCM_11025;
    report.rate = DeviceRate(format_);
    report.durationSeconds = StoredSeconds(storedLength, format_);
    report.peakDbfs = 20 * std::log10(peak_ / 32768.0);
    if (adpcm && signal_ > 0) {
        report.adpcmSnrDb =
            noise_ > 0 ? 10 * std::log10(static_cast<double>(signal_) / static_cast<double>(noise_))
                       : std::numeric_limits<double>::infinity();
    }
    return report;
}

}  // namespace sonabank
