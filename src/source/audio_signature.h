#pragma once

// Telling an audio file from a headerless RAW file by its first bytes. The
// name never decides: a RAW recording called "bell.wav" stays RAW, and a WAV
// file called "bell.raw" is read as a WAV file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sonabank {

enum class AudioKind { Wav, Aiff, Flac, Ogg, Mpeg, Au, Caf };

// How many leading bytes RecogniseAudio needs to see: enough for an MPEG
// frame of the largest size and the header of the frame behind it.
constexpr std::size_t SIGNATURE_BYTES = 4096;

// The kind of audio file `head` (the first SIGNATURE_BYTES bytes of the file,
// or all of a shorter one) starts like; nothing for anything else.
std::optional<AudioKind> RecogniseAudio(std::span<const std::uint8_t> head);

}  // namespace sonabank
