#pragma once

// The in-memory WAV file a fragment is played from.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/memory_image.h"

namespace sonabank {

constexpr std::size_t WAV_HEADER_SIZE = 44;

// 22050 for PCM_22050, 11025 for every other format code.
std::uint32_t SampleRateOf(int formatCode);

// The process-wide scratch area for decoded ADPCM (DECODE_BUFFER_SIZE bytes,
// allocated once).
std::span<std::uint8_t> DecodeBuffer();

// The fragment's 8-bit samples: the stored bytes for PCM and code 3, or the
// ADPCM decoded into `decodeBuffer`. A slot reaching past the image is
// clipped to the bytes inside it.
std::span<const std::uint8_t> FragmentSamples(const MemoryImage& image, int row,
                                              std::span<std::uint8_t> decodeBuffer);

// The 44-byte header of a WAV file of `dataLength` 8-bit mono samples.
std::array<std::uint8_t, WAV_HEADER_SIZE> WaveHeader(std::uint32_t dataLength,
                                                     std::uint32_t sampleRate);

// The complete WAV file of the fragment in `row`; empty when its length is 0.
std::vector<std::uint8_t> RenderWave(const MemoryImage& image, int row,
                                     std::span<std::uint8_t> decodeBuffer);

// ((d + 36) * 1000) / R in 64-bit arithmetic.
std::uint32_t PlaybackDurationMs(std::uint32_t dataLength, std::uint32_t sampleRate);

}  // namespace sonabank
