#pragma once

// What an import reports about the fragment the device will play: measured
// on the samples on their way from the source to the encoder.

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
    std::optional<double> adpcmSnrDb;  // ADPCM only; nothing for a silent input
};

// Measures the samples on their way from the source into the encoder: the
// peak, and for ADPCM the signal-to-noise ratio of what the device plays
// against them. The device plays the encoder's predictor after each sample,
// top byte only (the decoder gives back exactly that), widened as an 8-bit
// source is ((b - 128) * 256).
class QualityMeter {
  public:
    explicit QualityMeter(SoundFormat format) : format_(format) {}

    // The next samples, and for ADPCM the predictor after each of them.
    void Measure(std::span<const std::int16_t> samples, std::span<const std::int16_t> played);

    // The figures for a fragment of `storedLength` bytes.
    QualityReport Report(std::uint32_t storedLength) const;

  private:
    SoundFormat format_;
    int peak_ = 0;
    // Sums of squares of 16-bit values over at most a few million samples:
    // exact in 64 bits.
    std::uint64_t signal_ = 0;
    std::uint64_t noise_ = 0;
};

}  // namespace sonabank
