// End-to-end tests of the commands that write files besides the image:
// export, wav and build.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "image/memory_image.h"

namespace sonabank::test {
namespace {

using Files = CliTest;

std::string Slurp(const std::string& path) {
    const auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(Files, ExportWritesStoredBytesOrDecodedAdpcmTheSameEachTime) {
    const std::string image = NewImage();
    const std::string raw = Raw("a.raw", 1000);
    ASSERT_EQ(Cli({"add", image, raw}).status, 0);
    ASSERT_EQ(Cli({"add", image, raw, "--format", "adpcm"}).status, 0);  // 500 stored bytes

    ASSERT_EQ(Cli({"export", image, "0", File("pcm.raw")}).status, 0);
    EXPECT_EQ(ReadFile(File("pcm.raw")), ReadFile(raw));

    ASSERT_EQ(Cli({"export", image, "1", File("adpcm1.raw")}).status, 0);
    ASSERT_EQ(Cli({"export", image, "1", File("adpcm2.raw")}).status, 0);
    EXPECT_EQ(ReadFile(File("adpcm1.raw")).size(), 1000u);
    EXPECT_EQ(ReadFile(File("adpcm1.raw")), ReadFile(File("adpcm2.raw")));

    const ProgramResult refused = Cli({"export", image, "0", File("missing/out.raw")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              File("missing/out.raw") +
                  ": Невозможно создать файл! (its folder: No such file or directory)\n");
}

// sox, an independent reader, must take the WAV file for what it claims.
TEST_F(Files, WavIsTheWholePlaybackImageAndSoxReadsIt) {
    struct Case {
        const char* format;
        std::size_t fileSize;
        const char* rate;
        std::size_t samples;
    };
    const Case cases[] = {
        {"pcm22050", 22050, "22050", 22050},
        {"pcm11025", 11025, "11025", 11025},
        // Long enough to be decoded and written in several pieces.
        {"adpcm", 200000, "11025", 200000},
    };
    const std::string image = NewImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_EQ(Cli({"new", image, "--force"}).status, 0);
        ASSERT_EQ(Cli({"add", image, Raw("s.raw", c.fileSize), "--format", c.format}).status, 0);
        const std::string wav = File("s.wav");
        const ProgramResult written = Cli({"wav", image, "0", wav});
        ASSERT_EQ(written.status, 0) << written.err;

        const std::string bytes = Slurp(wav);
        ASSERT_EQ(bytes.size(), 44 + c.samples);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        ASSERT_EQ(Cli({"export", image, "0", File("s.export")}).status, 0);
        EXPECT_EQ(bytes.substr(44), Slurp(File("s.export")));

        for (auto [flag, expected] :
             {std::pair{"-r", std::string(c.rate)}, std::pair{"-c", std::string("1")},
              std::pair{"-s", std::to_string(c.samples)}, std::pair{"-b", std::string("8")}}) {
            const ProgramResult info = RunProgram("sox", {"--i", flag, wav});
            ASSERT_EQ(info.status, 0) << info.err;
            EXPECT_EQ(info.out, expected + "\n") << flag;
        }
    }
}

TEST_F(Files, BuildGivesIdenticalBytesForTheSameManifest) {
    std::filesystem::create_directories(dir_.path() / "sounds" / "more");
    Raw("sounds/bell.raw", 3000);
    Raw("sounds/more/beep.raw", 2113);
    Raw("sounds/hum.raw", 900);
    {
        std::ofstream manifest(File("sounds/bank.txt"), std::ios::binary);
        manifest << "# door bell bank\n"
                 << "\n"
                 << "bell.raw\tpcm22050\t8\tЗвонок\r\n"
                 << "   \t \n"
                 << "more/beep.raw\tadpcm\t16\t\n"
                 << "hum.raw\tpcm11025\t8\n";
    }
    const ProgramResult first = Cli({"build", File("one.bin"), File("sounds/bank.txt")});
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(Cli({"build", File("two.bin"), File("sounds/bank.txt")}).status, 0);
    EXPECT_EQ(ReadFile(File("one.bin")), ReadFile(File("two.bin")));

    EXPECT_EQ(Lines(Cli({"list", File("one.bin")}).out),
              (std::vector<std::string>{"0\tЗвонок\tPCM 22050 Hz\t3000\t5",
                                        "1\tbeep.raw\tADPCM 11025 Hz\t528\t11",
                                        "2\thum.raw\tPCM 11025 Hz\t900\t12"}));

    // Building over an existing image takes --force, as new does.
    ASSERT_EQ(Cli({"delete", File("two.bin"), "0"}).status, 0);
    const auto changed = ReadFile(File("two.bin"));
    const ProgramResult refused = Cli({"build", File("two.bin"), File("sounds/bank.txt")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, File("two.bin") + ": the file exists; --force replaces it\n");
    EXPECT_EQ(ReadFile(File("two.bin")), changed);
    ASSERT_EQ(Cli({"build", File("two.bin"), File("sounds/bank.txt"), "--force"}).status, 0);
    EXPECT_EQ(ReadFile(File("one.bin")), ReadFile(File("two.bin")));
}

TEST_F(Files, BuildNamesTheFirstBadLineAndWritesNothing) {
    Raw("ok.raw", 100);
    Raw("huge.raw", DATA_CAPACITY + 1);
    struct Case {
        const char* line2;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"huge.raw\tpcm22050\t8\tbig", 1, ":2: Файл слишком велик!"},
        {"absent.raw\tpcm22050\t8\tx", 1, ":2: Невозможно открыть файл!"},
        {"\tpcm22050\t8\tx", 1, ":2: Вы не указали файл со звуковыми данными!"},
        {"ok.raw\tmp3\t8\tx", 2, ":2: format must be pcm22050, pcm11025 or adpcm, not \"mp3\""},
        {"ok.raw\tadpcm\t12\tx", 2, ":2: width must be 8 or 16, not \"12\""},
        {"ok.raw pcm22050 8 x", 2,
         ":2: expected FILE, FORMAT, WIDTH and DESCRIPTION separated by TABs"},
    };
    const std::string image = NewImage();
    const auto before = ReadFile(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line2);
        const std::string manifest = File("bank.txt");
        {
            std::ofstream out(manifest);
            out << "ok.raw\tpcm22050\t8\tfine\n" << c.line2 << "\nok.raw\tpcm22050\t8\tnever\n";
        }
        const ProgramResult built = Cli({"build", image, manifest, "--force"});
        EXPECT_EQ(built.status, c.status);
        EXPECT_EQ(Lines(built.err).at(0), manifest + c.message);
        EXPECT_EQ(ReadFile(image), before);
        EXPECT_FALSE(std::filesystem::exists(File("fresh.bin")));
        EXPECT_EQ(Cli({"build", File("fresh.bin"), manifest}).status, c.status);
        EXPECT_FALSE(std::filesystem::exists(File("fresh.bin")));
    }
    // The huge file fits as ADPCM (half the bytes).
    std::ofstream(File("adpcm.txt")) << "huge.raw\tadpcm\t8\tbig\n";
    EXPECT_EQ(Cli({"build", image, File("adpcm.txt"), "--force"}).status, 0);
}

}  // namespace
}  // namespace sonabank::test
