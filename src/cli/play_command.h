#pragma once

// `play`: a fragment played without a window, for people without a desktop
// session.

#include "project/project.h"

namespace sonabank::cli {

// Exit status of a playback ended by Ctrl+C (128 + SIGINT, as shells report it).
constexpr int kInterrupted = 130;

// Plays the fragment of grid row `row` through the system's sound output and
// returns once it has been heard to its end (kSuccess), or at SIGINT, after
// stopping the sound (kInterrupted). Without a sound output, or when the
// output fails mid-sound, throws the input/output failure "no sound output:
// REASON" at once.
int PlayFragment(Project& project, int row);

}  // namespace sonabank::cli
