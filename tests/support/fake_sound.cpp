#include "support/fake_sound.h"

#include <algorithm>

namespace sonabank::test {

void FakeSoundPlayer::Play(std::span<const std::uint8_t> wave) {
    current_ = wave;
    played_.emplace_back(wave.begin(), wave.end());
    playing_ = true;
    if (onPlay) onPlay();
}

void FakeSoundPlayer::Stop() {
    ++stopCount_;
    // A real player may read the wave up to this point.
    if (playing_ && !std::ranges::equal(current_, played_.back())) waveUntouchedUntilStop_ = false;
    current_ = {};
    playing_ = false;
}

}  // namespace sonabank::test
