#pragma once

// The desktop's sound player: plays the in-memory WAV image through the
// default audio output of Qt Multimedia (PulseAudio on Linux).

#include <memory>

#include "playback/sound_output.h"

class QAudioSink;
class QBuffer;

namespace sonabank {

// Needs a running Qt application object on the calling thread. Plays the
// samples straight from the caller's image, so the image must stay put until
// Stop() (or the destructor) has returned. Without a sound server or an
// output device nothing is heard and nothing is reported.
class QtSoundPlayer final : public SoundPlayer {
  public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    QtSoundPlayer(const QtSoundPlayer&) = delete;
    QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

    // Takes an 8-bit mono PCM WAV image with the 44-byte header; a shorter
    // image is ignored. Stops whatever was playing first.
    void Play(std::span<const std::uint8_t> wave) override;
    void Stop() override;

  private:
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QAudioSink> sink_;
};

}  // namespace sonabank
