#pragma once

// Short sentences spoken into an image with `say`, in both languages and
// every format, and what the tests measure on them.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/run_program.h"

namespace sonabank::test {

struct SpokenPrompt {
    const char* voice;
    const char* format;
    const char* text;
};

// A Russian and an English sentence, each in the three formats (PCM 22050 Hz
// first).
extern const std::vector<SpokenPrompt> kSpokenPrompts;

// A fresh image in the test's folder whose fragment i is kSpokenPrompts[i].
std::string SayAllPrompts(CliTest& test);

// A fragment as it is played: the samples of the WAV file `wav` writes,
// 8-bit widened to 16-bit.
struct PlayedFragment {
    int rate = 0;
    std::vector<std::int16_t> samples;
    double seconds() const { return static_cast<double>(samples.size()) / rate; }
};
PlayedFragment FragmentAsPlayed(CliTest& test, const std::string& image, int number);

// RMS of the samples after a second-order high-pass at `lowHz` and a
// second-order low-pass at `highHz`.
double BandRms(const PlayedFragment& fragment, double lowHz, double highHz);

}  // namespace sonabank::test
