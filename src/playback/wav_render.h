#pragma once

// The in-memory WAV file a fragment is played from.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <vector>

#include "codec/codec_workspace.h"
#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

constexpr std::size_t WAV_HEADER_SIZE = 44;

// 22050 for PCM_22050, 11025 for every other format code.
std::uint32_t SampleRateOf(int formatCode);

// The fragment's 8-bit samples: the stored bytes for PCM and code 3, or the
// ADPCM decoded into the workspace's decode buffer. A slot reaching past the
// image is clipped to the bytes inside it.
std::span<const std::uint8_t> FragmentSamples(const MemoryImage& image, int row,
                                              CodecWorkspace& workspace);

// The 44-byte header of a WAV file of `dataLength` 8-bit mono samples.
std::array<std::uint8_t, WAV_HEADER_SIZE> WaveHeader(std::uint32_t dataLength,
                                                     std::uint32_t sampleRate);

// The complete WAV file of the fragment in `row`; empty when its length is 0.
std::vector<std::uint8_t> RenderWave(const MemoryImage& image, int row,
                                     CodecWorkspace& workspace);

// Writes the WAV file of the fragment in `row` to `path`, header and samples
// apart so that the largest fragment is not held a second time: CannotCreate
// when the file cannot be created, IoError on a failed write or close.
std::optional<Refusal> WriteWave(const MemoryImage& image, int row, const std::string& path,
                                 CodecWorkspace& workspace);

// ((d + 36) * 1000) / R in 64-bit arithmetic.
std::uint32_t PlaybackDurationMs(std::uint32_t dataLength, std::uint32_t sampleRate);

}  // namespace sonabank
