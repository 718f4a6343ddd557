#pragma once

// The tick counter playback deadlines are measured in.

#include <chrono>

#include "playback/sound_output.h"

namespace sonabank {

// Milliseconds of the monotonic clock, cut to 32 bits so that they wrap like
// the deadlines computed from them.
class SteadyTickSource final : public TickSource {
  public:
    std::uint32_t Now() override;
};

// The tick of a monotonic clock reading: its milliseconds modulo 2^32.
std::uint32_t TickOf(std::chrono::steady_clock::time_point time);

}  // namespace sonabank
