#pragma once

// One sound on its way to a sound server or device: opened for a Play,
// written and drained by the player's worker thread only, and closed by its
// destructor, which drops whatever the output still holds.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace sonabank {

class OutputStream {
  public:
    virtual ~OutputStream() = default;
    // Write blocks until the output took the samples, Drain until it has
    // played them; false when the output failed, with Error() saying why.
    virtual bool Write(std::span<const std::uint8_t> samples) = 0;
    virtual bool Drain() = 0;
    // How long until the last sample written is heard; nothing when the
    // output failed.
    virtual std::optional<std::chrono::microseconds> Delay() = 0;
    virtual std::string Error() const = 0;
};

// An 8-bit unsigned mono stream at `rate`, or null and `error` set. Every
// error text starts with the output's name ("PulseAudio: ", "ALSA: ").
struct OpenedStream {
    std::unique_ptr<OutputStream> stream;
    std::string error;
};

// Through libpulse's simple API: PulseAudio, or PipeWire's PulseAudio
// service, for a sound of `length` samples.
OpenedStream OpenPulseStream(std::uint32_t rate, std::size_t length);
// Through ALSA's default PCM.
OpenedStream OpenAlsaStream(std::uint32_t rate);

// Milliseconds the output may hold ahead of what is heard: enough that a
// worker kept waiting by a busy machine leaves no gap in the sound. Stop
// throws it away, so it does not delay the silence.
constexpr std::uint32_t OUTPUT_BUFFER_MS = 200;
// The samples are written in chunks of this length.
constexpr std::uint32_t CHUNK_MS = 10;

constexpr std::uint32_t SamplesIn(std::uint32_t ms, std::uint32_t rate) {
    return rate * ms / 1000;
}

}  // namespace sonabank
