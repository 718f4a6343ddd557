#pragma once

// Images holding fragments of known sine tones, imported the way the
// fragment dialog imports them, for tests that listen to playback.

#include <vector>

#include "image/memory_image.h"

namespace sonabank::test {

struct Tone {
    SoundFormat format;
    double frequency;  // Hz
    double seconds;
};

// A fresh image whose rows 1, 2, ... hold the tones in order, each imported
// from a 16-bit RAW file at the rate its format names.
MemoryImage MakeToneImage(const std::vector<Tone>& tones);

}  // namespace sonabank::test
