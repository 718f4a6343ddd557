#include "codec/quality_meter.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "source/device_conversion.h"

namespace sonabank {

QualityMeter::QualityMeter(SampleSource& source, SoundFormat format)
    : source_(source), format_(format) {
    AdpcmReset(shadow_);
}

std::size_t QualityMeter::Read(std::span<std::int16_t> samples) {
    const std::size_t n = source_.Read(samples);
    const bool adpcm = format_ == SoundFormat::ADPCM_11025;
    for (std::size_t i = 0; i < n; ++i) {
        const int x = samples[i];
        peak_ = std::max(peak_, std::abs(x));
        if (!adpcm) continue;
        AdpcmEncode(shadow_, samples[i]);
        const double played = (((shadow_.predictor + 32768) >> 8) - 128) * 256.0;
        signal_ += static_cast<double>(x) * x;
        noise_ += (x - played) * (x - played);
    }
    return n;
}

QualityReport QualityMeter::Report(std::uint32_t storedLength) const {
    QualityReport report;
    report.format = format_;
    const bool adpcm = format_ == SoundFormat::ADPCM_11025;
    report.rate = DeviceRate(format_);
    report.durationSeconds = StoredSeconds(storedLength, format_);
    report.peakDbfs = 20 * std::log10(peak_ / 32768.0);
    if (adpcm && signal_ > 0) {
        report.adpcmSnrDb = noise_ > 0 ? 10 * std::log10(signal_ / noise_)
                                       : std::numeric_limits<double>::infinity();
    }
    return report;
}

}  // namespace sonabank
