#pragma once

// The Play/Stop button's state machine: Idle or Playing, the deadline at
// which the 100 ms timer ends a playback, and the WAV image being played.

#include <cstdint>
#include <functional>
#include <vector>

#include "codec/codec_workspace.h"
#include "image/memory_image.h"
#include "playback/sound_output.h"

namespace sonabank {

class Playback {
public:
    Playback(SoundPlayer& player, TickSource& ticks);

    // The button: starts the fragment of `row` when idle (nothing for an
    // empty row), stops the running sound otherwise.
    void Press(const MemoryImage& image, int row, CodecWorkspace& workspace);
    // The timer: stops once the deadline has passed (wrap-safe).
    void TimerTick();
    // The window closes: stops a running sound, leaves the glyph alone.
    void Close();

    bool playerIdle() const { return playerIdle_; }
    std::uint32_t playbackDeadline() const { return playbackDeadline_; }
    bool timerEnabled() const { return !playerIdle_; }

    // Told when the button should show the Stop glyph (true) or Play (false).
    std::function<void(bool showStop)> onGlyphChanged;
    // Told when the timer is to run (true) or stop (false).
    std::function<void(bool enabled)> onTimerChanged;

private:
    void Stop(bool changeGlyph);

    SoundPlayer& player_;
    TickSource& ticks_;
    bool playerIdle_ = true;
    std::uint32_t playbackDeadline_ = 0;
    std::vector<std::uint8_t> playbackWave_;
};

}  // namespace sonabank
