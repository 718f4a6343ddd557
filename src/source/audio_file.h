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

}  // namespace sonabank
