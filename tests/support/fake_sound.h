#pragma once

// Stand-ins for the sound player and the tick counter, so that playback can
// be driven step by step without a sound server or a clock.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "playback/sound_output.h"

namespace sonabank::test {

class FakeSoundPlayer : public SoundPlayer {
  public:
    void Play(std::span<const std::uint8_t> wave) override;
    void Stop() override;
    SoundStatus Status() const override {
        return {playing_ ? SoundState::Playing : SoundState::Idle, {}};
    }

    bool playing() const { return playing_; }
    // A copy of every wave handed to Play, in order.
    const std::vector<std::vector<std::uint8_t>>& played() const { return played_; }
    int stopCount() const { return stopCount_; }
    // False when the wave being played had changed by the time Stop came.
    bool waveUntouchedUntilStop() const { return waveUntouchedUntilStop_; }

    // Runs inside Play, after the wave was taken (to let ticks pass, say).
    std::function<void()> onPlay;

  private:
    std::span<const std::uint8_t> current_;
    std::vector<std::vector<std::uint8_t>> played_;
    bool playing_ = false;
    int stopCount_ = 0;
    bool waveUntouchedUntilStop_ = true;
};

class FakeTickSource : public TickSource {
  public:
    explicit FakeTickSource(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t Now() override { return now_; }
    void Set(std::uint32_t now) { now_ = now; }
    // Wraps past 2^32 like the real counter.
    void Advance(std::uint32_t ms) { now_ += ms; }

  private:
    std::uint32_t now_;
};

}  // namespace sonabank::test
