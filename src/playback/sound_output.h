#pragma once

// The two platform services playback relies on.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace sonabank {

// What has become of the sound of the last Play().
enum class SoundState {
    Idle,      // nothing played yet, or stopped
    Playing,   // being handed to the sound output, or still sounding
    Drained,   // heard to its end
    NoOutput,  // no sound output took it, or the output failed mid-sound
};

struct SoundStatus {
    SoundState state = SoundState::Idle;
    std::string reason;  // why there is no output (NoOutput only)
};

// Plays a complete in-memory WAV image in the background. The image stays
// untouched until Stop() has returned; after that the player no longer reads
// it.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(std::span<const std::uint8_t> wave) = 0;
    virtual void Stop() = 0;
    virtual SoundStatus Status() const = 0;

    // Told when a sound ends by itself (drained, or no output), possibly on
    // another thread than the one that called Play. It must not call Play or
    // Stop: it is there to wake the thread that waits for the end.
    std::function<void()> onEnded;
};

// Milliseconds as an unsigned 32-bit value that wraps.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t Now() = 0;
};

}  // namespace sonabank
