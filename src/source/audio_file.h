#pragma once

// Reading a recognised audio file (WAV, AIFF, FLAC, Ogg Vorbis or Opus, MP3,
// ...) through libsndfile into one channel of floating-point samples at the
// rate a format stores.

#include <optional>
#include <string>
#include <vector>

#include "image/refusal.h"
#include "io/byte_stream.h"
#include "source/audio_signature.h"
#include "source/device_conversion.h"

namespace sonabank {

struct DecodedAudio {
    std::vector<float> samples;  // mono (the channels' average), full scale 1.0
    int rate = 0;                // of `samples`
    int fileRate = 0;            // of the file
    int channels = 0;            // in the file
};

struct AudioReadResult {
    std::optional<Refusal> refusal;  // NotDecodable or TooBig
    std::string detail;              // why it could not be decoded, in the decoder's words
    DecodedAudio audio;
    bool ok() const { return !refusal; }
};

// Decodes the whole of `stream` (at any position; it is read from its start)
// as a file of the recognised `kind`, resampled to `rate` as it is read, so
// that only the result is ever held. A file whose data ends before its
// header says, or that the decoder stops on, is refused rather than stored
// in part. A file longer than `maxSeconds` is refused as too big once that
// much is read. Failures of the file layer throw IoError.
AudioReadResult ReadAudioFile(ByteStream& stream, AudioKind kind, int rate, double maxSeconds);

// The kind of audio file the stream's first bytes announce; nothing for a RAW
// file. The stream is left at its start.
std::optional<AudioKind> SniffAudio(ByteStream& stream);

struct AudioConversion {
    std::optional<Refusal> refusal;  // NotDecodable or TooBig
    std::string detail;              // as in AudioReadResult
    DeviceSound sound;
};

// An audio file read and put through the conversion chain for `format`. A
// file longer than the whole data area could hold in that format is refused
// as too big without being read to its end.
AudioConversion ConvertAudioFile(ByteStream& stream, AudioKind kind, SoundFormat format,
                                 const GainOptions& gain);

}  // namespace sonabank
