#pragma once

// Level measurement and control of one channel at the device's rate.

#include <cstddef>
#include <span>

namespace sonabank {

// The full scale of a 16-bit sample as a float: the largest positive value.
constexpr float FULL_SCALE = 32767.0f / 32768.0f;

// Integrated loudness per EBU R128 in LUFS (libebur128); minus infinity for
// silence or a sound shorter than the measurement's 400 ms block.
double IntegratedLoudness(std::span<const float> mono, int rate);

// Lowers the level smoothly around every place where the signal would not
// round to a 16-bit sample: its samples, or with `truePeak` also the peaks
// between them (found at four times the rate), which a player's
// reconstruction filter would clip. Returns how many samples were beyond
// the 16-bit range before.
std::size_t LimitToFullScale(std::span<float> signal, int rate, bool truePeak);

}  // namespace sonabank
