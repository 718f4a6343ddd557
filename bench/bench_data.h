#pragma once

// Inputs shared by the benchmarks: deterministic signals, full images and a
// scratch folder. Everything is generated, so every run measures the same bytes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/memory_image.h"

namespace sonabank::bench {

enum class Signal { Speech, Silence, Noise };
const char* SignalName(Signal signal);

// `count` 16-bit samples at 11025 Hz. Speech: voiced syllables (a harmonic
// series shaped by three formants, a wandering pitch) with fricative noise and
// pauses, peaking near half scale. Noise: uniform over the whole 16-bit range.
std::vector<std::int16_t> MakeSignal(Signal signal, std::size_t count);

// Raw source bytes as a user would import them: 16-bit little-endian, or the
// top 8 bits made unsigned for an 8-bit source.
std::vector<std::uint8_t> AsRaw16(const std::vector<std::int16_t>& samples);
std::vector<std::uint8_t> AsRaw8(const std::vector<std::int16_t>& samples);

// A fresh image holding one fragment of `length` stored bytes in slot 0,
// filled with arbitrary bytes (every ADPCM code occurs).
MemoryImage ImageWithOneFragment(SoundFormat format, std::uint32_t length);

// An image whose 100 slots fill the data area to the last page. Fragments
// 1..99 have `pagesEach` pages; the last one takes what is left, minus
// `pagesLeftFree`.
MemoryImage FullImage(std::uint32_t pagesEach = 40, std::uint32_t pagesLeftFree = 0);

// A folder under $TMPDIR (or /tmp) removed when the program ends.
class ScratchDir {
  public:
    explicit ScratchDir(const std::filesystem::path& parent = {});
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace sonabank::bench
