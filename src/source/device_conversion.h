#pragma once

// The conversion chain that turns sound from any source (a decoded audio
// file, synthesised speech) into the 16-bit samples a stored format takes:
// resampled to the format's rate, brought to a loudness or peak, limited so
// that nothing clips, rounded to 16 bits and, for 8-bit PCM, optionally
// dithered. The encoders then apply the same rules as to a 16-bit RAW file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/memory_image.h"
#include "source/sample_source.h"

namespace sonabank {

struct GainOptions {
    std::optional<double> loudnessLufs = {};  // integrated loudness to reach (EBU R128)
    std::optional<double> peakDbfs = {};  // sample peak to reach; used when no loudness is given
    bool dither = false;                  // triangular, one 8-bit step; 8-bit PCM formats only
    bool any() const { return loudnessLufs || peakDbfs; }
};

struct DeviceSound {
    std::vector<std::int16_t> samples;  // mono, at `rate`
    int rate = 0;
    double gainDb = 0;               // applied before limiting
    std::size_t clippedSamples = 0;  // that would have left the 16-bit range unlimited
};

// The sample rate a format stores (22050 or 11025 Hz).
int DeviceRate(SoundFormat format);
// How long `storedBytes` of a fragment in `format` play; ADPCM keeps two
// samples in a byte.
double StoredSeconds(std::uint64_t storedBytes, SoundFormat format);

// `mono` is at `sourceRate`, full scale 1.0 (values beyond it are allowed and
// are limited). Deterministic: the same input gives the same samples.
// FinishForDevice takes the chain from a signal already at DeviceRate(format).
DeviceSound FinishForDevice(std::vector<float> signal, SoundFormat format, const GainOptions& gain);
DeviceSound ConvertToDevice(std::span<const float> mono, int sourceRate, SoundFormat format,
                            const GainOptions& gain);
DeviceSound ConvertToDevice(std::span<const std::int16_t> mono, int sourceRate, SoundFormat format,
                            const GainOptions& gain);

// Converted samples, handed to the encoder as any other source.
class DeviceSoundSource : public SampleSource {
  public:
    explicit DeviceSoundSource(std::span<const std::int16_t> samples) : samples_(samples) {}
    std::optional<std::uint64_t> KnownLength() const override { return samples_.size(); }
    std::size_t Read(std::span<std::int16_t> samples) override;

  private:
    std::span<const std::int16_t> samples_;  // those not read yet
};

}  // namespace sonabank
