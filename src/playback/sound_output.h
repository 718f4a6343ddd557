#pragma once

// The two platform services playback relies on.

#include <cstdint>
#include <span>

namespace sonabank {

// Plays a complete in-memory WAV image in the background. The image stays
// untouched until Stop() has returned; after that the player no longer reads
// it. Failures are silent.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(std::span<const std::uint8_t> wave) = 0;
    virtual void Stop() = 0;
};

// Milliseconds as an unsigned 32-bit value that wraps.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t Now() = 0;
};

}  // namespace sonabank
