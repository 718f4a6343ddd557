#pragma once

// IMA ADPCM with this device's particulars: the predictor is clamped to
// -32767..32767, the decoder yields 8-bit unsigned samples, and one state is
// shared by encoder and decoder, reset once per fragment. The state is the
// caller's: the project object owns the program's one.

#include <cstdint>
#include <span>

namespace sonabank {

struct AdpcmEncoderStep;

// The step index must lie in 0..88: the codec throws std::out_of_range for a
// state set from outside with any other value.
struct AdpcmState {
    std::int32_t predictor = 0;
    std::int8_t stepIndex = 0;
    // The encoder's tables at stepIndex as its last call left them; checked
    // against stepIndex, so a reset, a decode or a state set from outside is
    // noticed.
    const AdpcmEncoderStep* encoderStep = nullptr;
};

void AdpcmReset(AdpcmState& state);
// One 16-bit sample to its 4-bit code (0..15).
std::uint8_t AdpcmEncode(AdpcmState& state, std::int16_t sample);
// One 4-bit code (0..15) to an 8-bit unsigned sample.
std::uint8_t AdpcmDecode(AdpcmState& state, std::uint8_t code);

// Resets the state and decodes a stored run, high nibble first, into
// 2 * stored.size() bytes of `out` (which must be that large).
void AdpcmDecodeRun(AdpcmState& state, std::span<const std::uint8_t> stored,
                    std::span<std::uint8_t> out);
// The same without the reset: the next part of a run, continuing from the
// state the previous part left, so that a run can be decoded piece by piece.
void AdpcmDecodeMore(AdpcmState& state, std::span<const std::uint8_t> stored,
                     std::span<std::uint8_t> out);

}  // namespace sonabank
