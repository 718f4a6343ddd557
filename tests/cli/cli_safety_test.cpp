// End-to-end tests of what a command must never do: write over the image,
// lose another command's update, crash on odd input, change what it was not
// asked to change, print raw control codes, or hide what went wrong.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "image/memory_image.h"

namespace fs = std::filesystem;

namespace sonabank::test {
namespace {

class Safety : public CliTest {
  protected:
    // Replaces the image file's bytes by `image`'s.
    void Store(const std::string& path, const MemoryImage& image) {
        WriteFile(path, std::vector<std::uint8_t>(image.data(), image.data() + IMAGE_SIZE));
    }
    static std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> field) {
        return {field.begin(), field.end()};
    }
    // A fresh image with one fragment of 1000 bytes, and its path.
    std::string ImageWithOneFragment() {
        const std::string image = NewImage();
        EXPECT_EQ(Cli({"add", image, Raw("a.raw", 1000)}).status, 0);
        return image;
    }
};

TEST_F(Safety, ExportAndWavNeverWriteOverTheImage) {
    const std::string image = ImageWithOneFragment();
    fs::create_symlink(image, File("link.bin"));
    fs::create_hard_link(image, File("hard.bin"));
    const auto before = ReadFile(image);
    for (const char* command : {"export", "wav"}) {
        for (const std::string& target : {image, File("link.bin"), File("hard.bin")}) {
            SCOPED_TRACE(std::string(command) + " " + target);
            const ProgramResult result = Cli({command, image, "0", target});
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.err, target + ": Это файл проекта: экспорт его затёр бы!\n");
            EXPECT_EQ(ReadFile(image), before);
        }
    }
}

TEST_F(Safety, TwentyPairsOfConcurrentAddsLoseNothing) {
    const std::string image = NewImage();
    const std::string raw = Raw("a.raw", 600);
    std::set<std::string> expected;
    for (int pair = 0; pair < 20; ++pair) {
        std::vector<std::vector<std::string>> commands;
        for (const char* side : {"a", "b"}) {
            const std::string name = std::to_string(pair) + side;
            expected.insert(name);
            commands.push_back({"add", image, raw, "--description", name});
        }
        for (const ProgramResult& result : CliTogether(commands)) {
            ASSERT_EQ(result.status, 0) << result.err;
        }
    }
    std::set<std::string> listed;
    for (const std::string& line : Lines(Cli({"list", image}).out)) {
        const auto tab = line.find('\t');
        listed.insert(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
    }
    EXPECT_EQ(listed, expected);
}

TEST_F(Safety, BuildRefusesWhatCannotBeAManifest) {
    fs::create_directory(File("folder"));
    std::ofstream(File("huge.txt")) << std::string(600 * 1024, '#');
    struct Case {
        std::string manifest;
        std::string err;
    };
    const Case cases[] = {
        {File("folder"), ": Невозможно открыть файл! (a folder, not a file)"},
        {"/dev/null", ": Невозможно открыть файл! (not a regular file)"},
        {File("huge.txt"), ": larger than a manifest may be (524288 bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        const ProgramResult result = Cli({"build", File("new.bin"), c.manifest});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.manifest + c.err + "\n");
        EXPECT_FALSE(fs::exists(File("new.bin")));
    }
}

// Fields only a foreign image or a hex editor makes: a zero byte inside, a
// byte the code page cannot show (0x98), a blank description.
TEST_F(Safety, CommandsChangeOnlyWhatTheyAreAbout) {
    const std::string image = NewImage();
    for (const char* name : {"a.raw", "b.raw", "c.raw"}) {
        ASSERT_EQ(Cli({"add", image, Raw(name, 700)}).status, 0);
    }
    MemoryImage odd = ImageAt(image);
    const std::string copyright("(c)\0\x98 kept\0", 12);
    const std::string description("x\0\x98y", 4);
    WritePaddedText(CopyrightField(odd), COPYRIGHT_WIDTH - 1, copyright);
    for (int slot : {0, 1}) WritePaddedText(DescriptionField(odd, slot), 20, description);
    WritePaddedText(DescriptionField(odd, 2), 20, "");
    Store(image, odd);

    struct Case {
        std::vector<std::string> args;
        std::string description2;  // what slot 2 holds afterwards
    };
    const std::string blank(21, ' ');
    const Case cases[] = {
        {{"change", image, "0", Raw("d.raw", 300)}, blank},
        {{"change", image, "1"}, blank},
        {{"change", image, "2", Raw("e.raw", 300)}, "e.raw" + std::string(16, ' ')},
        {{"add", image, Raw("f.raw", 10)}, blank},
        {{"say", image, "Дверь"}, blank},
        {{"delete", image, "2"}, blank},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        Store(image, odd);
        ASSERT_EQ(Cli(c.args).status, 0);
        const MemoryImage after = ImageAt(image);
        EXPECT_EQ(Bytes(CopyrightField(after)), Bytes(CopyrightField(odd)));
        for (int slot : {0, 1})
            EXPECT_EQ(Bytes(DescriptionField(after, slot)), Bytes(DescriptionField(odd, slot)));
        const auto field = DescriptionField(after, 2);
        EXPECT_EQ(std::string(field.begin(), field.end()), c.description2);
    }
}

TEST_F(Safety, ListAndInfoPrintStoredTextsEscapedOrAsJson) {
    const std::string image = ImageWithOneFragment();
    MemoryImage odd = ImageAt(image);
    WritePaddedText(DescriptionField(odd, 0), 20, "a\tb\nc\rd\\e\x1b[2J\x7f");
    WritePaddedText(CopyrightField(odd), COPYRIGHT_WIDTH - 1, "x\"y\x01");
    Store(image, odd);
    // Durations by each format's bytes per second, none for a code with no format.
    const std::string formats = NewImage("formats.bin");
    for (const char* format : {"adpcm", "pcm11025", "pcm22050"}) {
        ASSERT_EQ(Cli({"add", formats, Raw("b.raw", 1000), "--format", format}).status, 0);
    }
    MemoryImage unknown = ImageAt(formats);
    SetFragmentFormat(unknown, 3, 3);
    Store(formats, unknown);
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"list", image}, "0\ta\\tb\\nc\\rd\\\\e\\x1b[2J\\x7f\tPCM 22050 Hz\t1000\t5"},
        {{"info", image}, "copyright: x\"y\\x01"},
        {{"list", image, "--json"},
         "[{\"number\":0,\"description\":\"a\\u0009b\\u000ac\\u000dd\\\\e\\u001b[2J\x7f\","
         "\"format\":\"PCM 22050 Hz\",\"length\":1000,\"startPage\":5,\"duration\":0.045351}]"},
        {{"list", formats, "--json"},
         "[{\"number\":0,\"description\":\"b.raw\",\"format\":\"ADPCM 11025 Hz\",\"length\":500,"
         "\"startPage\":5,\"duration\":0.090703},{\"number\":1,\"description\":\"b.raw\","
         "\"format\":\"PCM 11025 Hz\",\"length\":1000,\"startPage\":6,\"duration\":0.090703},"
         "{\"number\":2,\"description\":\"b.raw\",\"format\":null,\"length\":1000,"
         "\"startPage\":8,\"duration\":null}]"},
        {{"info", image, "--json"},
         "{\"copyright\":\"x\\\"y\\u0001\",\"fragments\":1,\"usagePercent\":0,\"usedBytes\":1056,"
         "\"freeBytes\":2158992,\"firstFreePage\":7,\"consistent\":true}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const ProgramResult result = Cli(c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Lines(result.out).at(0), c.firstLine);
    }
}

TEST_F(Safety, TextsStoredOtherwiseThanGivenAreReported) {
    const std::string image = NewImage();
    const std::string raw = Raw("a.raw", 10);
    std::ofstream(File("zero.txt")) << std::string("a.raw\0x\tpcm22050\t8\n", 19);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"add", image, raw, "--description", std::string(100000, 'x')},
         0,
         "warning: the description was stored as \"" + std::string(21, 'x') +
             "\" (cut to 21 characters)\n"},
        {{"add", image, raw, "--description", "日本 ok"},
         0,
         "warning: the description was stored as \"?? ok\" (characters outside code page 1251 "
         "became \"?\")\n"},
        {{"say", image, "Дверь", "--description", "日本 ok"},
         0,
         "warning: the description was stored as \"?? ok\" (characters outside code page 1251 "
         "became \"?\")\n"},
        {{"copyright", image, std::string(40, 'c')},
         0,
         "warning: the copyright was stored as \"" + std::string(28, 'c') +
             "\" (cut to 28 characters)\n"},
        {{"build", File("new.bin"), File("zero.txt")},
         2,
         File("zero.txt") + ":1: the file name holds a zero byte\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ProgramResult result = Cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(Lines(result.err).at(0) + "\n", c.err);
    }
    EXPECT_FALSE(fs::exists(File("new.bin")));
}

TEST_F(Safety, InspectingCommandsReadAReadOnlyImage) {
    const std::string image = ImageWithOneFragment();
    MakeReadOnly(image);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", image},
             {"info", image},
             {"check", image},
             {"export", image, "0", File("out.raw")},
             {"wav", image, "0", File("out.wav")},
         }) {
        SCOPED_TRACE(args[0]);
        const ProgramResult result = Cli(args);
        EXPECT_EQ(result.status, 0) << result.err;
    }
    EXPECT_EQ(Cli({"delete", image, "0"}).status, 1);
}

TEST_F(Safety, MessagesNameTheFileAndTheCause) {
    const std::string image = ImageWithOneFragment();
    ASSERT_EQ(mkfifo(File("fifo.bin").c_str(), 0644), 0);
    fs::create_symlink(File("nowhere.bin"), File("dangling.bin"));
    MemoryImage hostile = ImageAt(image);
    SetFragmentLength(hostile, 0, 0xFFFFFF);
    Store(File("hostile.bin"), hostile);
    MemoryImage beyond = ImageAt(image);
    SetEntryWord(beyond, 0, (EntryWord(beyond, 0) & 0xC000) | (PAGE_COUNT - 1));
    Store(File("beyond.bin"), beyond);

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // its first line
        std::string lastOut;
    };
    const Case cases[] = {
        {{"list", File("fifo.bin")},
         1,
         File("fifo.bin") + ": Невозможно открыть файл! (not a regular file)",
         ""},
        {{"add", image, Raw("b.raw", 10), "-x"}, 2, "unknown option -x", ""},
        {{"new", File("dangling.bin")},
         1,
         File("dangling.bin") + ": a symbolic link to a missing file; --force replaces the link",
         ""},
        {{"info", File("hostile.bin")},
         0,
         "",
         "catalogue: inconsistent, problems: 1; the figures above are what it claims (check "
         "lists them)"},
        {{"export", image, "0", File("fifo.bin")},
         1,
         File("fifo.bin") + ": Невозможно создать файл! (a pipe that nobody reads)",
         ""},
        {{"export", File("beyond.bin"), "0", File("out.raw")},
         0,
         "warning: fragment 0 lies partly or wholly beyond the image; wrote 528 of its 1000 bytes",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const ProgramResult result = Cli(c.args);
        EXPECT_EQ(result.status, c.status);
        const auto err = Lines(result.err);
        EXPECT_EQ(err.empty() ? "" : err[0], c.err);
        const auto out = Lines(result.out);
        if (!c.lastOut.empty()) {
            EXPECT_EQ(out.back(), c.lastOut);
        }
    }
    EXPECT_NE(Cli({"info", File("hostile.bin")}).out.find("free bytes: 0\n"), std::string::npos);

    const ProgramResult closed = RunProgram(SONABANK_CLI, {"list", image}, kClosedStdout);
    EXPECT_EQ(closed.status, 3);
    EXPECT_EQ(closed.err, "standard output: closed\n");
}

}  // namespace
}  // namespace sonabank::test
