#pragma once

// The stored bytes of a sound format, made from 16-bit samples.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "codec/adpcm.h"
#include "image/memory_image.h"

namespace sonabank {

class FragmentEncoder {
  public:
    // Resets `state`: ADPCM carries it from sample to sample through the
    // whole fragment.
    FragmentEncoder(SoundFormat format, AdpcmState& state);

    // The stored bytes `samples` samples make: one per sample for PCM, one
    // per pair for ADPCM (a lone last sample is not stored).
    static std::uint64_t StoredLength(SoundFormat format, std::uint64_t samples);
    // The samples that make `stored` bytes.
    static std::uint64_t SamplesOf(SoundFormat format, std::uint64_t stored);

    // Writes the stored bytes of the next samples to `out`, which has room
    // for samples.size() bytes, and returns how many it wrote. PCM keeps a
    // sample's top 8 bits made unsigned (the low byte dropped unrounded);
    // ADPCM packs two codes a byte, the earlier sample in the high nibble,
    // and keeps the code of a sample without its partner for the next call.
    // For ADPCM, `played` (when given, room for samples.size()) gets the
    // predictor after each sample: what the device plays for it.
    std::size_t Encode(std::span<const std::int16_t> samples, std::uint8_t* out,
                       std::int16_t* played = nullptr);

  private:
    bool adpcm_;
    AdpcmState& state_;
    std::optional<std::uint8_t> pendingCode_;
};

}  // namespace sonabank
