#pragma once

// Hears what the program plays: records the monitor of the private null sink
// that scripts/test starts (PULSE_SERVER), and measures the recording.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sonabank::test {

constexpr int RECORD_RATE = 44100;
// Magnitude from which a recorded sample counts as sound. The test tones
// reach about 25000; the idle monitor records exact zeros.
constexpr int SOUND_THRESHOLD = 2000;

// Records mono 16-bit samples at RECORD_RATE into `rawPath` with parec.
class MonitorRecording {
  public:
    // Returns once samples arrive, so what is played next is recorded.
    explicit MonitorRecording(std::string rawPath);
    ~MonitorRecording();
    MonitorRecording(const MonitorRecording&) = delete;
    MonitorRecording& operator=(const MonitorRecording&) = delete;

    // True once something at SOUND_THRESHOLD or above has been recorded.
    bool HasSound() const;
    // Stops parec, which flushes its buffer on SIGINT, and reads the file.
    std::vector<std::int16_t> Finish();

  private:
    std::vector<std::int16_t> Samples() const;

    std::string path_;
    pid_t pid_ = -1;
};

// Samples [begin, end) from the first to the last one at SOUND_THRESHOLD or
// above; begin == end when there is none.
struct SoundSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool empty() const { return end <= begin; }
    double beginMs() const { return begin * 1000.0 / RECORD_RATE; }
    double lengthMs() const { return (end - begin) * 1000.0 / RECORD_RATE; }
};
SoundSpan FindSound(std::span<const std::int16_t> samples);

// Frequency of a steady tone from its upward zero crossings (with hysteresis,
// so that noise near zero does not count).
double DominantFrequency(std::span<const std::int16_t> samples);

// The longest run, in milliseconds, of samples below SOUND_THRESHOLD: inside a
// tone it is half a period at most, a gap in the output makes it longer.
double LongestQuietMs(std::span<const std::int16_t> samples);

// Expects the recording to hold one tone of `frequency` lasting `lengthMs`
// (both within a few per cent), without gaps, with silence before and after.
void ExpectHeardTone(std::span<const std::int16_t> samples, double frequency, double lengthMs);

}  // namespace sonabank::test
