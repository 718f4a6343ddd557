// Checks stored ADPCM fragments against an independent IMA decoder: ffmpeg's
// KVAG demuxer reads a headerless, high-nibble-first stream that starts from
// predictor 0 and step index 0, which is exactly how fragments are stored.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "codec/adpcm.h"
#include "project/project.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double RATE = 11025;

Bytes Le16(const std::vector<double>& samples) {
    Bytes bytes;
    for (const double x : samples) {
        const auto s = static_cast<std::int16_t>(std::lround(std::clamp(x, -32768.0, 32767.0)));
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return bytes;
}

// Voiced syllables with a wandering pitch and a few harmonics, separated by
// pauses: the kind of material the device mostly plays.
Bytes SpeechLike() {
    std::vector<double> s(static_cast<std::size_t>(3 * RATE));
    double phase = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = i / RATE;
        const double pitch = 140 + 60 * std::sin(2 * std::numbers::pi * 1.3 * t);
        phase += 2 * std::numbers::pi * pitch / RATE;
        const double syllable = std::max(0.0, std::sin(2 * std::numbers::pi * 2.5 * t));
        const double voice = std::sin(phase) + 0.6 * std::sin(2 * phase) +
                             0.4 * std::sin(3 * phase) + 0.25 * std::sin(5 * phase);
        s[i] = 9000 * syllable * voice;
    }
    return Le16(s);
}

// Unsigned 8-bit noise, so the widening of 8-bit sources is checked too.
Bytes Noise8() {
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> byte(40, 216);
    Bytes bytes(static_cast<std::size_t>(2 * RATE));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
}

// Full scale at the top: a square wave from 32767 down to where an overshoot
// below the predictor's bottom cannot happen, then a loud sine and random
// full-scale jumps, all of which drive the predictor into its upper clamp.
Bytes FullScale() {
    std::vector<double> s;
    for (int i = 0; i < 4000; ++i) s.push_back((i / 50) % 2 ? 32767 : -28000);
    for (int i = 0; i < 4000; ++i) {
        s.push_back(3400 + 29400 * std::sin(2 * std::numbers::pi * 440 * i / RATE));
    }
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> level(-20000, 32767);
    for (int i = 0; i < 4000; ++i) s.push_back(level(rng));
    return Le16(s);
}

// Full scale both ways from an 8-bit source: 0 widens to -32768, so ffmpeg's
// track reaches -32768 at the first low half-period.
Bytes SquareFullRange8() {
    Bytes bytes;
    for (int i = 0; i < 2000; ++i) bytes.push_back((i / 200) % 2 ? 0 : 255);
    return bytes;
}

// Stores the source as an ADPCM fragment the way the program adds one.
Bytes StoreAsAdpcm(const test::TempDir& dir, const Bytes& source, SourceWidth width) {
    const std::string path = dir.file("source.raw");
    test::WriteFile(path, source);
    Project project;
    if (!project.Add({path, width, SoundFormat::ADPCM_11025, ""}).ok()) {
        throw std::runtime_error("import refused");
    }
    const MemoryImage& image = project.image();
    const std::uint8_t* data = image.data() + StartPage(image, 0) * PAGE_SIZE;
    return Bytes(data, data + FragmentLength(image, 0));
}

void PutLe(Bytes& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// ffmpeg's 16-bit predictor track for the stored bytes.
std::vector<std::int16_t> DecodeWithFfmpeg(const test::TempDir& dir, const Bytes& stored) {
    Bytes vag = {'K', 'V', 'A', 'G'};
    PutLe(vag, static_cast<std::uint32_t>(stored.size()), 4);
    PutLe(vag, static_cast<std::uint32_t>(RATE), 4);
    PutLe(vag, 0, 2);  // mono
    vag.insert(vag.end(), stored.begin(), stored.end());
    const std::string in = dir.file("x.vag");
    const std::string out = dir.file("out.raw");
    test::WriteFile(in, vag);
    const std::string command =
        "ffmpeg -nostdin -loglevel error -i '" + in + "' -f s16le -acodec pcm_s16le '" + out + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
    const Bytes raw = test::ReadFile(out);
    std::vector<std::int16_t> track(raw.size() / 2);
    for (std::size_t i = 0; i < track.size(); ++i) {
        track[i] = static_cast<std::int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
    }
    return track;
}

TEST(AdpcmOracle, FfmpegDecodesStoredFragmentsAsWeDo) {
    constexpr std::size_t ALL = SIZE_MAX;
    struct Case {
        const char* name;
        Bytes source;
        SourceWidth width;
        std::size_t mustCompare;  // samples before ffmpeg's track first reaches -32768
        bool fullScale;           // the compared part must reach the top
    };
    const Case cases[] = {
        {"speech-like", SpeechLike(), SourceWidth::Bits16, ALL, false},
        {"noise", Noise8(), SourceWidth::Bits8, ALL, false},
        {"full scale at the top", FullScale(), SourceWidth::Bits16, ALL, true},
        {"full scale both ways", SquareFullRange8(), SourceWidth::Bits8, 200, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const Bytes stored = StoreAsAdpcm(dir, c.source, c.width);
        const std::vector<std::int16_t> theirs = DecodeWithFfmpeg(dir, stored);
        Bytes ours(2 * stored.size());
        AdpcmState state;
        AdpcmDecodeRun(state, stored, ours);
        ASSERT_EQ(theirs.size(), ours.size());

        // ffmpeg clamps to -32768 and this codec to -32767: from the first
        // sample that reaches -32768 on, the tracks may differ by one.
        std::size_t compared = 0;
        for (; compared < ours.size() && theirs[compared] != -32768; ++compared) {
            const auto expected = static_cast<std::uint8_t>((theirs[compared] + 32768) >> 8);
            ASSERT_EQ(ours[compared], expected) << "sample " << compared;
        }
        EXPECT_GE(compared, std::min(c.mustCompare, ours.size()));
        if (c.fullScale) {
            const auto end = ours.begin() + static_cast<std::ptrdiff_t>(compared);
            EXPECT_NE(std::find(ours.begin(), end, 255), end) << "the top is never reached";
        }
    }
}

}  // namespace
}  // namespace sonabank
