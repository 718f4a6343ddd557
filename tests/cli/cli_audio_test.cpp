// Audio files through sonabank-cli, end to end: fixtures are made by sox and
// ffmpeg at run time, and what is stored is judged by reading the image and
// by ffmpeg.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "image/memory_image.h"
#include "support/audio_tools.h"

namespace sonabank::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class AudioCli : public CliTest {
  protected:
    // Runs `command` with %o replaced by the path of `name`; returns the path.
    std::string Make(const std::string& name, std::string command) {
        const std::string path = File(name);
        command.replace(command.find("%o"), 2, "'" + path + "'");
        Shell(command);
        return path;
    }

    Bytes Exported(const std::string& image, int number) {
        const std::string out = File("export-" + std::to_string(number) + ".raw");
        const ProgramResult result = Cli({"export", image, std::to_string(number), out});
        if (result.status != 0) throw std::runtime_error(result.err);
        return ReadFile(out);
    }

    // The number a report line gives after `label`, e.g. "peak" in
    // "..., peak -1.0 dBFS, ...".
    static double Reported(const std::string& out, const std::string& label) {
        const std::size_t at = out.find(" " + label + " ");
        if (at == std::string::npos) throw std::runtime_error("no " + label + " in: " + out);
        return std::stod(out.substr(at + label.size() + 2));
    }
};

// The bytes of a RIFF file's data chunk.
Bytes WavData(const Bytes& wav) {
    for (std::size_t at = 12; at + 8 <= wav.size();) {
        const std::uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 |
                                   static_cast<std::uint32_t>(wav[at + 7]) << 24;
        if (std::equal(wav.begin() + at, wav.begin() + at + 4, "data")) {
            return {wav.begin() + at + 8, wav.begin() + at + 8 + size};
        }
        at += 8 + size + (size & 1);
    }
    throw std::runtime_error("no data chunk");
}

std::vector<std::int16_t> Samples16(const Bytes& le) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(le[i] | le[i + 1] << 8));
    }
    return samples;
}

double PeakDb8(const Bytes& bytes) {
    int peak = 0;
    for (const std::uint8_t b : bytes) peak = std::max(peak, std::abs(b - 128));
    return 20 * std::log10(peak / 128.0);
}

struct Format {
    const char* name;
    int rate;
    int samplesPerByte;
};
constexpr Format kFormats[] = {{"pcm22050", 22050, 1}, {"pcm11025", 11025, 1}, {"adpcm", 11025, 2}};

TEST_F(AudioCli, EachContainerInEachFormatKeepsDurationAndPitch) {
    const struct {
        const char* name;
        const char* command;
        int codecSlack;  // samples a lossy codec may add or drop, at the source's rate
    } sources[] = {
        {"tone.wav", "sox -n -r 44100 -c 2 -b 16 %o synth 1 sine 440 vol 0.5", 0},
        {"tone.flac", "sox -n -r 48000 -c 1 -b 16 %o synth 1 sine 440 vol 0.5", 0},
        {"tone.ogg", "sox -n -r 44100 -c 2 %o synth 1 sine 440 vol 0.5", 1152},
        {"tone.mp3",
         "ffmpeg -loglevel error -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
         "-af volume=4 -c:a libmp3lame %o",
         1152},
    };
    const std::string image = NewImage();
    int number = 0;
    for (const auto& source : sources) {
        const std::string path = Make(source.name, source.command);
        for (const Format& format : kFormats) {
            SCOPED_TRACE(std::string(source.name) + " as " + format.name);
            const ProgramResult added = Cli({"add", image, path, "--format", format.name});
            ASSERT_EQ(added.status, 0) << added.err;
            EXPECT_NEAR(Reported(added.out, "at"), format.rate, 0);

            const Bytes played = Exported(image, number++);
            const double slack = 1 + source.codecSlack * format.rate / 44100.0;
            EXPECT_NEAR(static_cast<double>(played.size()), format.rate,
                        slack * format.samplesPerByte);
            EXPECT_NEAR(ToneFrequency(Centred8(played), format.rate), 440, 440 * 0.005);
        }
    }
}

TEST_F(AudioCli, ARawFileWithAWavsDataBytesIsStillTakenByteForByte) {
    const std::string wav =
        Make("tone.wav", "sox -n -r 22050 -c 1 -b 16 %o synth 0.5 sine 440 vol 0.5");
    const Bytes data = WavData(ReadFile(wav));
    const std::string raw = File("data.raw");
    WriteFile(raw, data);
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, raw, "--width", "8"}).status, 0);
    ASSERT_EQ(Cli({"add", image, raw, "--width", "16"}).status, 0);
    ASSERT_EQ(Cli({"add", image, wav}).status, 0);

    EXPECT_EQ(Exported(image, 0), data);
    // At the format's own rate a WAV's samples pass unchanged, so both keep
    // each sample's top byte made unsigned.
    Bytes topBytes;
    for (const std::int16_t s : Samples16(data)) topBytes.push_back((s >> 8) + 128);
    EXPECT_EQ(Exported(image, 1), topBytes);
    EXPECT_EQ(Exported(image, 2), topBytes);
}

// A prompt set built from sources 12 dB apart sounds equally loud, judged by
// ffmpeg on what the device plays.
TEST_F(AudioCli, BuildWithLoudnessEvensOutSourcesTwelveDbApart) {
    Make("loud.wav", "sox -n -r 44100 -c 1 -b 16 %o synth 2 sine 500 vol 0.4");
    Make("quiet.flac", "sox -n -r 48000 -c 2 -b 16 %o synth 2 sine 1500 vol 0.1");
    {
        std::ofstream manifest(File("set.txt"), std::ios::binary);
        manifest << "loud.wav\tpcm22050\t8\tloud\n"
                 << "quiet.flac\tadpcm\t16\tquiet\n";
    }
    const std::string image = File("set.bin");
    const ProgramResult built = Cli({"build", image, File("set.txt"), "--loudness", "-16"});
    ASSERT_EQ(built.status, 0) << built.err;

    WriteFile(File("loud.raw"), Exported(image, 0));
    WriteFile(File("quiet.raw"), Exported(image, 1));
    const double loud = FfmpegLoudness8(File("loud.raw"), 22050);
    const double quiet = FfmpegLoudness8(File("quiet.raw"), 11025);
    EXPECT_NEAR(loud, quiet, 0.5);
    EXPECT_NEAR(loud, -16, 1.0);
}

TEST_F(AudioCli, PeakBringsTheLoudestSampleToTheAskedLevel) {
    const std::string wav =
        Make("quiet.wav", "sox -n -r 44100 -c 2 -b 16 %o synth 1 sine 300 vol 0.05");
    const std::string image = NewImage();
    const ProgramResult added = Cli({"add", image, wav, "--peak", "-1"});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_NEAR(Reported(added.out, "peak"), -1, 0.05);
    EXPECT_NEAR(Reported(added.out, "gain"), -1 - 20 * std::log10(0.05), 0.1);
    EXPECT_NEAR(PeakDb8(Exported(image, 0)), -1, 0.1);
}

// The figure the report gives, computed again from the stored bytes with
// ffmpeg's IMA decoder and the WAV's own samples.
TEST_F(AudioCli, ReportedAdpcmSnrAgreesWithAnIndependentComputation) {
    const std::string wav =
        Make("sweep.wav", "sox -n -r 11025 -c 1 -b 16 %o synth 1.5 sine 100-3000 vol 0.6");
    const std::vector<std::int16_t> input = Samples16(WavData(ReadFile(wav)));
    const std::string image = NewImage();
    const ProgramResult added = Cli({"add", image, wav, "--format", "adpcm"});
    ASSERT_EQ(added.status, 0) << added.err;

    const MemoryImage stored = ImageAt(image);
    const std::uint32_t length = FragmentLength(stored, 0);
    const std::uint8_t* data = stored.data() + StartPage(stored, 0) * PAGE_SIZE;
    // KVAG: ffmpeg's container for a headerless IMA stream from a reset.
    Bytes vag = {'K', 'V', 'A', 'G'};
    for (const std::uint32_t field : {length, 11025u}) {
        for (int i = 0; i < 4; ++i) vag.push_back(static_cast<std::uint8_t>(field >> (8 * i)));
    }
    vag.insert(vag.end(), {0, 0});
    vag.insert(vag.end(), data, data + length);
    WriteFile(File("x.vag"), vag);
    Shell("ffmpeg -loglevel error -i '" + File("x.vag") + "' -f s16le -acodec pcm_s16le '" +
          File("decoded.raw") + "'");
    const std::vector<std::int16_t> predictor = Samples16(ReadFile(File("decoded.raw")));
    ASSERT_EQ(predictor.size(), 2 * std::size_t{length});

    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < predictor.size(); ++i) {
        // What the device plays: the predictor's top byte, widened again.
        const double played = (((predictor[i] + 32768) >> 8) - 128) * 256.0;
        signal += static_cast<double>(input[i]) * input[i];
        noise += (input[i] - played) * (input[i] - played);
    }
    EXPECT_NEAR(Reported(added.out, "ADPCM SNR"), 10 * std::log10(signal / noise), 0.1);
}

TEST_F(AudioCli, ABrokenOrCutOffAudioFileIsRefusedAndTheImageKept) {
    const Bytes flac =
        ReadFile(Make("tone.flac", "sox -n -r 48000 -c 1 -b 16 %o synth 1 sine 440"));
    const Bytes wav = ReadFile(Make("tone.wav", "sox -n -r 22050 -c 1 -b 16 %o synth 1 sine 440"));
    WriteFile(File("cut.flac"), Bytes(flac.begin(), flac.begin() + flac.size() / 2));
    WriteFile(File("cut.wav"), Bytes(wav.begin(), wav.begin() + wav.size() / 2));
    Bytes noFormat(wav.begin(), wav.begin() + 12);
    noFormat.resize(2000, 0x41);
    WriteFile(File("broken.wav"), noFormat);

    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, File("tone.wav")}).status, 0);
    const Bytes before = ReadFile(image);
    for (const char* name : {"cut.flac", "cut.wav", "broken.wav"}) {
        SCOPED_TRACE(name);
        const ProgramResult refused = Cli({"add", image, File(name)});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(File(name) + ": Звуковой файл повреждён или не поддерживается!"),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(ReadFile(image), before);
    }
}

}  // namespace
}  // namespace sonabank::test
