#pragma once

// `play`: a fragment played without a window, for people without a desktop
// session. The one command that needs Qt's event loop.

#include "project/project.h"

namespace sonabank::cli {

// Exit status of a playback ended by Ctrl+C (128 + SIGINT, as shells report it).
constexpr int kInterrupted = 130;

// Plays the fragment of grid row `row` through the desktop's sound player and
// returns when the playback's deadline has passed (kSuccess), or at SIGINT,
// after stopping the sound (kInterrupted). Without a sound server it stays
// silent and still waits for the deadline.
int PlayFragment(Project& project, int row);

}  // namespace sonabank::cli
