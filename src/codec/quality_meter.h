#pragma once

// What an import reports about the fragment the device will play: measured
// on the samples on their way from the source to the encoder.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "codec/adpcm.h"
#include "image/memory_image.h"
#include "source/sample_source.h"

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

// Passes a source's samples on unchanged and measures them: the peak, and for
// ADPCM the signal-to-noise ratio of what the device plays against them.
// The device plays the encoder's predictor after each sample, top byte only
// (the decoder gives back exactly that), so a second codec state follows the
// encoder's and the 8-bit output, widened as an 8-bit source is
// ((b - 128) * 256), is compared with each sample.
class QualityMeter : public SampleSource {
  public:
    QualityMeter(SampleSource& source, SoundFormat format);

    std::optional<std::uint64_t> KnownLength() const override { return source_.KnownLength(); }
    std::size_t Read(std::span<std::int16_t> samples) override;
    void Close() override { source_.Close(); }

    // The figures for a fragment of `storedLength` bytes.
    QualityReport Report(std::uint32_t storedLength) const;

  private:
    SampleSource& source_;
    SoundFormat format_;
    AdpcmState shadow_;
    int peak_ = 0;
    double signal_ = 0;
    double noise_ = 0;
};

}  // namespace sonabank
