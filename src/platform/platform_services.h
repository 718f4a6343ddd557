#pragma once

// The platform services the window and sonabank-cli use, made here so that
// neither names a backend.

#include <memory>

#include "playback/sound_output.h"

namespace sonabank {

// The system's sound output (PulseAudio, else ALSA), loaded on the first Play.
std::unique_ptr<SoundPlayer> MakeSoundPlayer();
// Milliseconds of the monotonic clock.
std::unique_ptr<TickSource> MakeTickSource();

}  // namespace sonabank
