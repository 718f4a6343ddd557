#include "source/audio_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "support/audio_tools.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

using test::ReadFile;
using test::Shell;
using test::WriteFile;

// One second of a 1 kHz tone in each container, made once for all tests.
struct Fixture {
    const char* name;
    const char* command;  // %s is the output path
    AudioKind kind;
    int rate;
    int channels;
    int lengthSlack;  // samples the codec may add or drop at the ends
};

// The WAV's right channel is silent, so its mono mix is half the left one.
constexpr Fixture kFixtures[] = {
    {"tone.wav", "sox -n -r 44100 -c 2 -b 16 %s synth 1 sine 1000 vol 0.5 remix 1 0",
     AudioKind::Wav, 44100, 2, 0},
    {"tone.flac", "sox -n -r 48000 -c 1 -b 16 %s synth 1 sine 1000 vol 0.5", AudioKind::Flac, 48000,
     1, 0},
    {"tone.ogg", "sox -n -r 44100 -c 2 %s synth 1 sine 1000 vol 0.5", AudioKind::Ogg, 44100, 2, 0},
    {"tone.mp3",
     "ffmpeg -loglevel error -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=1 "
     "-af volume=4 -c:a libmp3lame %s",
     AudioKind::Mpeg, 44100, 1, 1152},
};

class AudioFileTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        for (const Fixture& f : kFixtures) {
            std::string line = f.command;
            line.replace(line.find("%s"), 2, Path(f));
            Shell(line);
        }
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string Path(const Fixture& f) { return dir_->file(f.name); }

    static AudioReadResult Read(const std::string& path, AudioKind kind, int rate,
                                double maxSeconds = 10) {
        std::optional<ByteStream> stream = ByteStream::OpenExisting(path);
        if (!stream) throw std::runtime_error("cannot open " + path);
        return ReadAudioFile(*stream, kind, rate, maxSeconds);
    }

    static std::unique_ptr<test::TempDir> dir_;
};

std::unique_ptr<test::TempDir> AudioFileTest::dir_;

TEST_F(AudioFileTest, EachContainerDecodesToItsRateLengthAndMonoMix) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.name);
        const std::vector<std::uint8_t> head = ReadFile(Path(f));
        EXPECT_EQ(RecogniseAudio(head), f.kind);
        // At the file's own rate, so that nothing is resampled.
        const AudioReadResult result = Read(Path(f), f.kind, f.rate);
        ASSERT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(result.audio.fileRate, f.rate);
        EXPECT_EQ(result.audio.channels, f.channels);
        EXPECT_NEAR(static_cast<double>(result.audio.samples.size()), f.rate, f.lengthSlack);
        float peak = 0;
        for (const float x : result.audio.samples) peak = std::max(peak, std::fabs(x));
        const double expected = f.kind == AudioKind::Wav ? 0.25 : 0.5;
        // Lossy codecs overshoot a little around the crests.
        EXPECT_NEAR(peak, expected, 0.05);
    }
}

TEST_F(AudioFileTest, CutOffOrBrokenFilesAreRefusedNotStoredInPart) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.name);
        const std::vector<std::uint8_t> whole = ReadFile(Path(f));
        const std::string half = dir_->file(std::string("half-") + f.name);
        WriteFile(half,
                  {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)});
        const AudioReadResult cut = Read(half, f.kind, 11025);
        EXPECT_EQ(cut.refusal, Refusal::NotDecodable);
        EXPECT_FALSE(cut.detail.empty());

        // The signature survives, the rest is noise.
        std::vector<std::uint8_t> broken(whole.begin(), whole.begin() + 12);
        for (int i = 0; i < 3000; ++i) broken.push_back(static_cast<std::uint8_t>(i * 97 + 13));
        const std::string brokenPath = dir_->file(std::string("broken-") + f.name);
        WriteFile(brokenPath, broken);
        EXPECT_EQ(Read(brokenPath, f.kind, 11025).refusal, Refusal::NotDecodable);
    }
}

TEST_F(AudioFileTest, AFileLongerThanTheLimitIsRefusedAsTooBig) {
    for (const Fixture& f : kFixtures) {
        EXPECT_EQ(Read(Path(f), f.kind, 11025, 0.5).refusal, Refusal::TooBig) << f.name;
    }
}

// A WAV written to a pipe leaves its sizes at 0xFFFFFFFF: the data runs to
// the end of the file, nothing is cut off.
TEST_F(AudioFileTest, AWavWrittenToAPipeIsReadToItsEnd) {
    const std::string path = dir_->file("piped.wav");
    Shell("sox -n -r 22050 -c 1 -b 16 -t wav - synth 0.5 sine 440 > " + path);
    const AudioReadResult result = Read(path, AudioKind::Wav, 22050);
    ASSERT_TRUE(result.ok()) << result.detail;
    EXPECT_EQ(result.audio.samples.size(), 11025u);
}

}  // namespace
}  // namespace sonabank
