#include "codec/fragment_encoder.h"

namespace sonabank {

FragmentEncoder::FragmentEncoder(SoundFormat format, AdpcmState& state)
    : adpcm_(format == SoundFormat::ADPCM_11025), state_(state) {
    AdpcmReset(state_);
}

std::uint64_t FragmentEncoder::StoredLength(SoundFormat format, std::uint64_t samples) {
    return format == SoundFormat::ADPCM_11025 ? samples / 2 : samples;
}

std::uint64_t FragmentEncoder::SamplesOf(SoundFormat format, std::uint64_t stored) {
    return format == SoundFormat::ADPCM_11025 ? stored * 2 : stored;
}

std::size_t FragmentEncoder::Encode(std::span<const std::int16_t> samples, std::uint8_t* out,
                                    std::int16_t* played) {
    if (!adpcm_) {
        for (std::size_t k = 0; k < samples.size(); ++k) {
            out[k] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(samples[k]) >> 8 ^ 0x80u);
        }
        return samples.size();
    }
    const auto code = [&](std::size_t k) {
        const std::uint8_t c = AdpcmEncode(state_, samples[k]);
        if (played) played[k] = static_cast<std::int16_t>(state_.predictor);
        return c;
    };
    std::size_t written = 0;
    std::size_t k = 0;
    if (pendingCode_ && !samples.empty()) {
        out[written++] = static_cast<std::uint8_t>(*pendingCode_ << 4 | code(k++));
        pendingCode_.reset();
    }
    for (; k + 1 < samples.size(); k += 2) {
        const std::uint8_t high = code(k);
        out[written++] = static_cast<std::uint8_t>(high << 4 | code(k + 1));
    }
    if (k < samples.size()) pendingCode_ = code(k);
    return written;
}

}  // namespace sonabank
