#include "playback/playback_state.h"

#include "playback/wav_render.h"

namespace sonabank {

namespace {

void Notify(const std::function<void(bool)>& listener, bool value) {
    if (listener) listener(value);
}

}  // namespace

Playback::Playback(SoundPlayer& player, TickSource& ticks) : player_(player), ticks_(ticks) {}

void Playback::Press(const MemoryImage& image, int row, CodecWorkspace& workspace) {
    // While a sound plays the button is its Stop button, whatever row is selected.
    if (!playerIdle_) {
        Stop(true);
        return;
    }
    auto wave = RenderWave(image, row, workspace);
    if (wave.empty()) return;

    playbackWave_ = std::move(wave);
    player_.Play(playbackWave_);
    const std::uint32_t duration =
        PlaybackDurationMs(static_cast<std::uint32_t>(playbackWave_.size() - WAV_HEADER_SIZE),
                           SampleRateOf(GetFragmentFormat(image, row)));
    // The tick is read after the player has started, so the deadline never
    // comes before the sound's end.
    playbackDeadline_ = ticks_.Now() + duration;
    playerIdle_ = false;
    Notify(onTimerChanged, true);
    Notify(onGlyphChanged, true);
}

void Playback::TimerTick() {
    if (playerIdle_) return;
    // Signed difference, so a deadline that wrapped past 2^32 is still ahead.
    if (static_cast<std::int32_t>(ticks_.Now() - playbackDeadline_) >= 0) Stop(true);
}

void Playback::Close() {
    if (playerIdle_) {
        Notify(onTimerChanged, false);
        return;
    }
    Stop(false);
}

void Playback::Stop(bool changeGlyph) {
    Notify(onTimerChanged, false);
    player_.Stop();
    // Released only now: the player reads the wave until Stop() has returned.
    std::vector<std::uint8_t>().swap(playbackWave_);
    playerIdle_ = true;
    if (changeGlyph) Notify(onGlyphChanged, false);
}

}  // namespace sonabank
