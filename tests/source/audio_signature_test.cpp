#include "source/audio_signature.h"

#include <gtest/gtest.h>

#include <vector>

namespace sonabank {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a literal, embedded zeros included.
template <std::size_t N>
Bytes Text(const char (&text)[N]) {
    return Bytes(text, text + N - 1);
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, no padding: 417 bytes per frame.
Bytes Mp3Frame() {
    Bytes frame(417, 0x55);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x64;
    return frame;
}

TEST(AudioSignature, TheContentDecidesWhatIsAudio) {
    const Bytes frame = Mp3Frame();
    Bytes frameThenNoise = frame;
    frameThenNoise.resize(frame.size() + 4, 0x12);
    // A 16-bit RAW file whose first sample is -1025 (bytes FF FB) and whose
    // next bytes happen to form a frame header, with nothing behind it.
    Bytes rawLookalike = Bytes{0xFF, 0xFB, 0x90, 0x64};
    rawLookalike.resize(1000, 0x00);
    const struct {
        const char* name;
        Bytes head;
        std::optional<AudioKind> kind;
    } cases[] = {
        {"WAV", Text("RIFF\x24\0\0\0WAVEfmt "), AudioKind::Wav},
        {"big-endian WAV", Text("RIFX\0\0\0\x24WAVE"), AudioKind::Wav},
        {"RF64", Text("RF64\xFF\xFF\xFF\xFFWAVE"), AudioKind::Wav},
        {"RIFF that is no WAVE", Text("RIFF\x24\0\0\0AVI "), std::nullopt},
        {"AIFF",
         Text("FORM\0\0\0\x24"
              "AIFF"),
         AudioKind::Aiff},
        {"AIFF-C",
         Text("FORM\0\0\0\x24"
              "AIFC"),
         AudioKind::Aiff},
        {"FLAC", Text("fLaC\0\0\0\x22"), AudioKind::Flac},
        {"Ogg", Text("OggS\0\x02"), AudioKind::Ogg},
        {"AU", Text(".snd\0\0\0\x18"), AudioKind::Au},
        {"CAF", Text("caff\0\x01"), AudioKind::Caf},
        {"ID3 tag", Text("ID3\x04\0\0\0\0\x01\x7F"), AudioKind::Mpeg},
        {"ID3 with a size byte above 7 bits", Text("ID3\x04\0\0\0\0\x01\x80"), std::nullopt},
        {"ID3 of an unknown version", Text("ID3\x09\0\0\0\0\0\0"), std::nullopt},
        {"two MPEG frames in a row", Concat(frame, frame), AudioKind::Mpeg},
        {"one MPEG frame, then no header", frameThenNoise, std::nullopt},
        {"RAW that starts like a frame", rawLookalike, std::nullopt},
        {"signature cut short", Text("fLa"), std::nullopt},
        {"empty", {}, std::nullopt},
        {"8-bit RAW silence", Bytes(4096, 0x80), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecogniseAudio(c.head), c.kind) << c.name;
    }
}

}  // namespace
}  // namespace sonabank
