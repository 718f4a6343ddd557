#pragma once

// The in-memory WAV file a fragment is played from.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec/codec_workspace.h"
#include "image/memory_image.h"
#include "image/refusal.h"
#include "io/byte_stream.h"

namespace sonabank {

constexpr std::size_t WAV_HEADER_SIZE = 44;

// The fragment's stored bytes. A slot reaching past the image is clipped to
// the bytes inside it.
std::span<const std::uint8_t> StoredFragment(const MemoryImage& image, int row);

// How many 8-bit samples the fragment plays: two per stored byte for ADPCM,
// one for the other formats.
std::size_t FragmentSampleCount(const MemoryImage& image, int row);

// The fragment's 8-bit samples: the stored bytes for PCM and code 3, or the
// ADPCM decoded into the workspace's decode buffer.
std::span<const std::uint8_t> FragmentSamples(const MemoryImage& image, int row,
                                              CodecWorkspace& workspace);

// The 44-byte header of a WAV file of `dataLength` 8-bit mono samples.
std::array<std::uint8_t, WAV_HEADER_SIZE> WaveHeader(std::uint32_t dataLength,
                                                     std::uint32_t sampleRate);

// The complete WAV file of the fragment in `row`; empty when its length is 0.
std::vector<std::uint8_t> RenderWave(const MemoryImage& image, int row, CodecWorkspace& workspace);

// Writes the fragment's 8-bit samples to `out`, ADPCM decoded a piece at a
// time, so that no buffer holds the whole fragment. IoError on a failed write.
void WriteFragmentSamples(ByteStream& out, const MemoryImage& image, int row, AdpcmState& adpcm);

// Writes the WAV file of the fragment in `row` to `path`, the samples as
// WriteFragmentSamples writes them: CannotCreate when the file cannot be
// created, IoError on a failed write or close.
std::optional<Refusal> WriteWave(const MemoryImage& image, int row, const std::string& path,
                                 CodecWorkspace& workspace);

// ((d + 36) * 1000) / R in 64-bit arithmetic.
std::uint32_t PlaybackDurationMs(std::uint32_t dataLength, std::uint32_t sampleRate);

}  // namespace sonabank
