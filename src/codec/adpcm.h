#pragma once

// IMA ADPCM with this device's particulars: the predictor is clamped to
// -32767..32767, the decoder yields 8-bit unsigned samples, and one state is
// shared by encoder and decoder, reset once per fragment.

#include <cstdint>
#include <span>

namespace sonabank {

struct AdpcmState {
    std::int32_t predictor = 0;
    std::int8_t stepIndex = 0;
};

// The one process-wide codec state.
extern AdpcmState adpcmState;

void AdpcmReset();
// One 16-bit sample to its 4-bit code (0..15).
std::uint8_t AdpcmEncode(std::int16_t sample);
// One 4-bit code (0..15) to an 8-bit unsigned sample.
std::uint8_t AdpcmDecode(std::uint8_t code);

// Resets the state and decodes a stored run, high nibble first, into
// 2 * stored.size() bytes of `out` (which must be that large).
void AdpcmDecodeRun(std::span<const std::uint8_t> stored, std::span<std::uint8_t> out);

}  // namespace sonabank
