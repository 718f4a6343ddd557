// Speech on the command line: the voices, and prompts spoken into images.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "cli/spoken_prompts.h"

namespace sonabank::test {
namespace {

// Points the synthesizer of the programs started meanwhile at `path`.
class SpeechDataPath {
  public:
    explicit SpeechDataPath(const std::string& path) {
        setenv("ESPEAK_DATA_PATH", path.c_str(), 1);
    }
    ~SpeechDataPath() { unsetenv("ESPEAK_DATA_PATH"); }
};

using CliSpeech = CliTest;

TEST_F(CliSpeech, ListsVoicesOrSaysWhyNot) {
    const ProgramResult russian = Cli({"voices", "ru"});
    EXPECT_EQ(russian.status, 0) << russian.err;
    ASSERT_FALSE(Lines(russian.out).empty());
    EXPECT_EQ(Lines(russian.out)[0], "ru\tRussian");

    const ProgramResult nowhere = Cli({"voices", "xx-nowhere"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.err, "no voice speaks \"xx-nowhere\"\n");

    const SpeechDataPath missing(dir_.path().string());
    const ProgramResult noData = Cli({"voices"});
    EXPECT_EQ(noData.status, 1);
    EXPECT_NE(noData.err.find("data is missing"), std::string::npos) << noData.err;
    EXPECT_EQ(noData.out, "");
}

TEST_F(CliSpeech, SpeaksShortSentencesInEveryFormat) {
    const std::string image = SayAllPrompts(*this);
    const auto listed = Lines(Cli({"list", image}).out);
    ASSERT_EQ(listed.size(), kSpokenPrompts.size());
    double seconds22050 = 0;
    for (std::size_t i = 0; i < kSpokenPrompts.size(); ++i) {
        const SpokenPrompt& prompt = kSpokenPrompts[i];
        SCOPED_TRACE(std::string(prompt.voice) + " " + prompt.format);
        const PlayedFragment fragment = FragmentAsPlayed(*this, image, static_cast<int>(i));
        const bool at22050 = std::string(prompt.format) == "pcm22050";
        EXPECT_EQ(fragment.rate, at22050 ? 22050 : 11025);
        // Resampled, not merely stored at the lower rate.
        if (at22050) seconds22050 = fragment.seconds();
        EXPECT_NEAR(fragment.seconds(), seconds22050, 0.01);
        EXPECT_GT(fragment.seconds(), 0.3);
        EXPECT_LT(fragment.seconds(), 10);
        // Speech, not silence or noise: an 8-bit fragment's quantisation noise
        // alone stays near 74 (1/sqrt(12) of a step).
        EXPECT_GT(BandRms(fragment, 100, 4000), 1500);
    }
}

TEST_F(CliSpeech, AManifestOfSpokenLinesBuildsTheSameImageTwice) {
    // The width column may be left out, left empty or given (and is ignored).
    const std::string manifest =
        "say:Ноль\tadpcm\n"
        "say:Один\tadpcm\t\tone\n"
        "say:Два\tadpcm\t16\n"
        "# a comment\n"
        "say:Три\tpcm11025\t8\tthree\n"
        "say:Четыре\tadpcm\n"
        "say:Пять\tadpcm\n"
        "say:Шесть\tpcm22050\n"
        "say:Семь\tadpcm\n"
        "say:Восемь\tadpcm\n"
        "say:Температура воздуха девять градусов\tadpcm\n";
    WriteFile(File("prompts.txt"), {manifest.begin(), manifest.end()});
    const ProgramResult first = Cli({"build", File("a.bin"), File("prompts.txt")});
    ASSERT_EQ(first.status, 0) << first.err;
    // The last text is longer than a description can be.
    EXPECT_TRUE(first.err.ends_with(
        "prompts.txt:11: the description was stored as \"Температура воздуха д\" (cut to 21 "
        "characters)\n"))
        << first.err;
    // Each line's quality report, the ADPCM lines with their coding's SNR.
    const auto reports = Lines(first.out);
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_TRUE(reports[9].starts_with("fragment 9: ")) << reports[9];
    EXPECT_NE(reports[0].find(", ADPCM SNR "), std::string::npos) << reports[0];
    EXPECT_EQ(reports[3].find("SNR"), std::string::npos) << reports[3];
    ASSERT_EQ(Cli({"build", File("b.bin"), File("prompts.txt")}).status, 0);
    EXPECT_EQ(ReadFile(File("a.bin")), ReadFile(File("b.bin")));

    const std::vector<std::string> descriptions = {
        "Ноль", "one",   "Два",  "three",  "Четыре",
        "Пять", "Шесть", "Семь", "Восемь", "Температура воздуха д"};
    const auto listed = Lines(Cli({"list", File("a.bin")}).out);
    ASSERT_EQ(listed.size(), descriptions.size());
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        EXPECT_EQ(listed[i].substr(0, listed[i].find('\t', 2)),
                  std::to_string(i) + "\t" + descriptions[i]);
    }
}

TEST_F(CliSpeech, ChangeSpeaksOverAFragment) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, Raw("a.raw", 1000), "--description", "beep"}).status, 0);
    const ProgramResult changed =
        Cli({"change", image, "0", "--say", "Внимание", "--format", "pcm11025", "--peak", "-6"});
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_TRUE(changed.out.starts_with("fragment 0: ")) << changed.out;
    EXPECT_NE(changed.out.find(", peak -6.0 dBFS, "), std::string::npos) << changed.out;
    const auto listed = Lines(Cli({"list", image}).out);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].starts_with("0\tВнимание\tPCM 11025 Hz\t")) << listed[0];
    const PlayedFragment fragment = FragmentAsPlayed(*this, image, 0);
    EXPECT_GT(fragment.seconds(), 0.3);
    int peak = 0;
    for (const std::int16_t s : fragment.samples) peak = std::max(peak, std::abs(int{s}));
    // Within the one 8-bit step that storing drops.
    EXPECT_NEAR(20 * std::log10(peak / 32768.0), -6, 0.15);
}

TEST_F(CliSpeech, RefusalsLeaveTheImageAlone) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"say", image, "Первый"}).status, 0);
    const auto before = ReadFile(image);
    const std::string manifest = File("m.txt");
    const std::string line = "say:Два\tpcm22050\t16\n";
    WriteFile(manifest, {line.begin(), line.end()});
    struct Case {
        std::vector<std::string> args;
        bool withoutData;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"say", image, "Дверь"}, true, 1, "data is missing"},
        {{"change", image, "0", "--say", "Дверь"}, true, 1, "data is missing"},
        {{"build", File("new.bin"), manifest}, true, 1, "m.txt:1: "},
        {{"say", image, " ... "}, false, 1, "no speech"},
        {{"say", image, "Дверь", "--voice", "xx-nowhere"}, false, 2, "voices"},
        {{"say", image, "Дверь", "--speed", "20"}, false, 2, "words per minute"},
        {{"say", image, "Дверь", "--speed", "fast"}, false, 2, "whole number"},
        {{"say", image, "Дверь", "--width", "16"}, false, 2, "unknown option"},
        {{"say", image, "Дверь", "--peak", "-1", "--loudness", "-16"}, false, 2, "exclude"},
        {{"say", image, "Дверь", "--peak", "1"}, false, 2, " to 0, not \"1\""},
        {{"change", image, "0", File("a.raw"), "--say", "Дверь"}, false, 2, "--say"},
        {{"change", image, "0", "--voice", "en"}, false, 2, "--say"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::optional<SpeechDataPath> missing;
        if (c.withoutData) missing.emplace(dir_.path().string());
        const ProgramResult result = Cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(image), before);
    }
    EXPECT_FALSE(std::filesystem::exists(File("new.bin")));
}

}  // namespace
}  // namespace sonabank::test
