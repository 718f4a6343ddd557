#pragma once

// Sample-rate conversion of one channel with libsoxr.

#include <span>
#include <vector>

namespace sonabank {

enum class ResampleQuality { High, VeryHigh };

// `in` at `fromRate` as samples at `toRate`: in.size() * toRate / fromRate of
// them, rounded, aligned in time with the input (linear phase, delay removed).
// Equal rates give a copy.
std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate,
                            ResampleQuality quality = ResampleQuality::VeryHigh);

}  // namespace sonabank
