#pragma once

// The figures an import reports about what the device will play.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "image/memory_image.h"

namespace sonabank {

struct QualityReport {
    double durationSeconds = 0;  // of the stored fragment
    int rate = 0;
    SoundFormat format = SoundFormat::PCM_22050;
    double peakDbfs = 0;  // minus infinity for silence
    double gainDb = 0;
    std::size_t clippedSamples = 0;
    std::optional<double> adpcmSnrDb;  // ADPCM only; nothing for silence
};

// The largest magnitude of 16-bit samples in dB against full scale (32768).
double PeakDbfs(std::span<const std::int16_t> samples);

// Signal-to-noise ratio in dB of what the device plays, `decoded` (its 8-bit
// unsigned output, widened as an 8-bit source is: (b - 128) * 256), against
// the 16-bit samples `input` the encoder was given, over the samples both
// have. Nothing when the input is silent; infinity when they are equal.
std::optional<double> SnrDb(std::span<const std::int16_t> input,
                            std::span<const std::uint8_t> decoded);

}  // namespace sonabank
