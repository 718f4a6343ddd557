#pragma once

// The system's sound player: a worker thread per sound that writes it in
// small chunks to PulseAudio (or PipeWire's PulseAudio service), or to ALSA
// when no such server answers.

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "playback/sound_output.h"

namespace sonabank {

class SystemSoundPlayer final : public SoundPlayer {
  public:
    SystemSoundPlayer() = default;
    ~SystemSoundPlayer() override;
    SystemSoundPlayer(const SystemSoundPlayer&) = delete;
    SystemSoundPlayer& operator=(const SystemSoundPlayer&) = delete;

    // Takes an 8-bit mono PCM WAV image with the 44-byte header; a shorter
    // image is ignored. Stops whatever was playing first. Returns once the
    // output is open (or known to be missing), so that the sound starts
    // about when Play returns: the window's deadline counts from then.
    void Play(std::span<const std::uint8_t> wave) override;
    // Returns once the worker has let go of the image; the output drops what
    // it still holds, so the sound ends within a chunk.
    void Stop() override;
    SoundStatus Status() const override;

  private:
    void Run(std::span<const std::uint8_t> samples, std::uint32_t rate, std::promise<void> opened);
    void End(SoundState state, std::string reason = {});

    std::thread worker_;
    std::atomic<bool> stopping_ = false;
    mutable std::mutex statusLock_;
    SoundStatus status_;
};

}  // namespace sonabank
