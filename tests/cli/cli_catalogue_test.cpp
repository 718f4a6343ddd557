// End-to-end tests of the commands that build and edit a catalogue: new,
// list, info, add, change, delete, copyright, check.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/run_program.h"
#include "image/memory_image.h"

namespace sonabank::test {
namespace {

using Catalogue = CliTest;

std::string FieldText(std::span<const std::uint8_t> field) {
    return std::string(field.begin(), field.end());
}

// A manifest of `count` one-byte fragments, each on its own page.
std::string OneByteManifest(CliTest& t, const std::string& name, int count) {
    const std::string raw = t.Raw("one.raw", 1);
    std::ofstream manifest(t.File(name));
    for (int i = 0; i < count; ++i) manifest << raw << "\tpcm22050\t8\tf" << i << '\n';
    return t.File(name);
}

TEST_F(Catalogue, FreshImageListsNothingAndReportsAnEmptyDataArea) {
    const std::string image = NewImage();
    EXPECT_EQ(ReadFile(image).size(), IMAGE_SIZE);
    EXPECT_TRUE(HasMagic(ImageAt(image)));

    const ProgramResult list = Cli({"list", image});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "");

    const ProgramResult info = Cli({"info", image});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out,
              "copyright: \n"
              "fragments: 0\n"
              "usage: Занято памяти: 0%\n"
              "used bytes: 0\n"
              "free bytes: 2160048\n"
              "first free page: 5\n"
              "free seconds: PCM 22050 Hz 97.96, PCM 11025 Hz 195.92, ADPCM 11025 Hz 391.85\n");
}

TEST_F(Catalogue, NewReplacesAnExistingFileOnlyWithForce) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, Raw("a.raw", 600)}).status, 0);
    const auto before = ReadFile(image);

    const ProgramResult refused = Cli({"new", image});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(image), before);

    EXPECT_EQ(Cli({"new", image, "--force"}).status, 0);
    EXPECT_EQ(Cli({"list", image}).out, "");
}

TEST_F(Catalogue, AddStoresEachFormatAndWidthPackedBehindTheLastFragment) {
    struct Case {
        std::vector<std::string> options;
        std::size_t fileSize;
        std::uint32_t storedLength;
        const char* formatName;
    };
    const Case cases[] = {
        {{}, 1000, 1000, "PCM 22050 Hz"},  // the dialog's defaults: 8-bit, PCM 22050 Hz
        {{"--width", "16", "--format", "pcm11025"}, 1001, 500, "PCM 11025 Hz"},
        {{"--format=adpcm"}, 3, 1, "ADPCM 11025 Hz"},
        {{"--width=16", "--format", "adpcm"}, 2113, 528, "ADPCM 11025 Hz"},
        {{"--format", "pcm22050", "--width", "8"}, 528, 528, "PCM 22050 Hz"},
    };
    const std::string image = NewImage();
    std::vector<std::string> expected;
    std::uint32_t page = 5;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "sound" + std::to_string(i) + ".raw";
        std::vector<std::string> args = {"add", image, Raw(name, cases[i].fileSize)};
        args.insert(args.end(), cases[i].options.begin(), cases[i].options.end());
        const ProgramResult added = Cli(args);
        ASSERT_EQ(added.status, 0) << added.err;
        expected.push_back(std::to_string(i) + "\t" + name + "\t" + cases[i].formatName + "\t" +
                           std::to_string(cases[i].storedLength) + "\t" + std::to_string(page));
        page += pagesOf(cases[i].storedLength);
    }
    EXPECT_EQ(Lines(Cli({"list", image}).out), expected);

    // 8-bit PCM is stored as it stands; the pages behind the length are zero.
    const MemoryImage stored = ImageAt(image);
    for (std::size_t i = 0; i < 1056; ++i) {
        ASSERT_EQ(stored[5 * PAGE_SIZE + i], i < 1000 ? static_cast<std::uint8_t>(i) : 0) << i;
    }
}

TEST_F(Catalogue, SixteenBitSamplesKeepTheirTopByteMadeUnsigned) {
    const std::string image = NewImage();
    WriteFile(File("s16.raw"), {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x34, 0x12});
    ASSERT_EQ(Cli({"add", image, File("s16.raw"), "--width", "16"}).status, 0);
    const MemoryImage stored = ImageAt(image);
    const std::vector<std::uint8_t> samples(stored.data() + 5 * PAGE_SIZE,
                                            stored.data() + 5 * PAGE_SIZE + 5);
    EXPECT_EQ(samples, (std::vector<std::uint8_t>{128, 127, 255, 0, 146}));
}

TEST_F(Catalogue, DescriptionsTravelAsUtf8AndAreStoredInCodePage1251) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, Raw("a.raw", 10), "--description", "  Привет  "}).status, 0);
    // Longer than the 21-byte field: cut.
    ASSERT_EQ(
        Cli({"add", image, Raw("b.raw", 10), "--description", "abcdefghijklmnopqrstuvwxyz"}).status,
        0);
    const MemoryImage stored = ImageAt(image);
    EXPECT_EQ(FieldText(DescriptionField(stored, 0)),
              "\xCF\xF0\xE8\xE2\xE5\xF2" + std::string(15, ' '));
    EXPECT_EQ(FieldText(DescriptionField(stored, 1)), "abcdefghijklmnopqrstu");
    const auto lines = Lines(Cli({"list", image}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 15), "0\tПривет\t");
    EXPECT_EQ(lines[1].substr(0, 24), "1\tabcdefghijklmnopqrstu\t");
}

TEST_F(Catalogue, AddStopsAt99FragmentsAndBuildNamesTheHundredthLine) {
    const std::string image = File("bank.bin");
    ASSERT_EQ(Cli({"build", image, OneByteManifest(*this, "98.txt", 98)}).status, 0);
    ASSERT_EQ(Cli({"add", image, Raw("x.raw", 1)}).status, 0);
    EXPECT_EQ(Lines(Cli({"list", image}).out).size(), 99u);

    const auto before = ReadFile(image);
    const ProgramResult refused = Cli({"add", image, Raw("y.raw", 1)});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Больше нет места!\n");
    EXPECT_EQ(ReadFile(image), before);

    const std::string manifest = OneByteManifest(*this, "100.txt", 100);
    const ProgramResult built = Cli({"build", File("other.bin"), manifest});
    EXPECT_EQ(built.status, 1);
    EXPECT_EQ(built.err, manifest + ":100: Больше нет места!\n");
    EXPECT_FALSE(std::filesystem::exists(File("other.bin")));
}

class ChangeTest : public CliTest {
  protected:
    void SetUp() override {
        image = NewImage();
        for (auto [name, size, text] :
             {std::tuple{"a.raw", 1000, "first"}, std::tuple{"b.raw", 1200, "second"},
              std::tuple{"c.raw", 300, "third"}}) {
            ASSERT_EQ(Cli({"add", image, Raw(name, size), "--description", text}).status, 0);
        }
    }
    std::string image;
};

TEST_F(ChangeTest, WithAFileReplacesTheFragmentAndMovesTheOnesBehind) {
    ASSERT_EQ(Cli({"change", image, "1", Raw("long.raw", 3000), "--format", "pcm11025"}).status, 0);
    // The absent description keeps the fragment's own; start page 7 stays.
    EXPECT_EQ(Lines(Cli({"list", image}).out),
              (std::vector<std::string>{"0\tfirst\tPCM 22050 Hz\t1000\t5",
                                        "1\tsecond\tPCM 11025 Hz\t3000\t7",
                                        "2\tthird\tPCM 22050 Hz\t300\t13"}));

    // An empty description box takes the file's name.
    ASSERT_EQ(Cli({"change", image, "2", Raw("tiny.raw", 10), "--description", ""}).status, 0);
    EXPECT_EQ(Lines(Cli({"list", image}).out)[2], "2\ttiny.raw\tPCM 22050 Hz\t10\t13");
}

TEST_F(ChangeTest, WithoutAFileRewritesOnlyTheDescription) {
    // A stored description with leading blanks, as an image from elsewhere
    // may hold: kept byte for byte unless --description is given, which is
    // trimmed.
    MemoryImage edited = ImageAt(image);
    WritePaddedText(DescriptionField(edited, 0), DESCRIPTION_WIDTH - 1, "  ab");
    WriteFile(image, std::vector<std::uint8_t>(edited.data(), edited.data() + IMAGE_SIZE));

    struct Case {
        std::vector<std::string> description;
        std::string stored;
    };
    const Case cases[] = {
        {{}, "  ab" + std::string(17, ' ')},
        {{"--description", "  Neu  "}, "Neu" + std::string(18, ' ')},
        {{"--description", ""}, std::string(21, ' ')},
    };
    for (const Case& c : cases) {
        const MemoryImage before = ImageAt(image);
        std::vector<std::string> args = {"change", image, "0"};
        args.insert(args.end(), c.description.begin(), c.description.end());
        ASSERT_EQ(Cli(args).status, 0);
        MemoryImage after = ImageAt(image);
        EXPECT_EQ(FieldText(DescriptionField(after, 0)), c.stored);
        // Nothing else moved: put the old description back and compare all.
        std::copy_n(DescriptionField(before, 0).data(), DESCRIPTION_WIDTH,
                    DescriptionField(after, 0).data());
        EXPECT_EQ(after, before);
    }
}

TEST_F(ChangeTest, WidthOrFormatWithoutAFileIsWrongUsage) {
    const auto before = ReadFile(image);
    EXPECT_EQ(Cli({"change", image, "0", "--format", "adpcm"}).status, 2);
    EXPECT_EQ(Cli({"change", image, "0", "--width", "16"}).status, 2);
    EXPECT_EQ(ReadFile(image), before);
}

TEST_F(ChangeTest, DeleteClosesTheGap) {
    ASSERT_EQ(Cli({"delete", image, "0"}).status, 0);
    EXPECT_EQ(Lines(Cli({"list", image}).out),
              (std::vector<std::string>{"0\tsecond\tPCM 22050 Hz\t1200\t5",
                                        "1\tthird\tPCM 22050 Hz\t300\t8"}));
    ASSERT_EQ(Cli({"delete", image, "1"}).status, 0);
    EXPECT_EQ(Lines(Cli({"list", image}).out),
              (std::vector<std::string>{"0\tsecond\tPCM 22050 Hz\t1200\t5"}));
}

TEST_F(Catalogue, CopyrightIsStoredAndKeptByLaterChanges) {
    const std::string image = NewImage();
    // A fresh image's field is all zeros: it counts as an empty text.
    EXPECT_EQ(FieldText(CopyrightField(ImageAt(image))), std::string(28, '\0'));
    EXPECT_EQ(Lines(Cli({"info", image}).out)[0], "copyright: ");

    ASSERT_EQ(Cli({"copyright", image, "Ёжик (c) 2024"}).status, 0);
    const std::string stored = "\xA8\xE6\xE8\xEA (c) 2024" + std::string(15, ' ');
    EXPECT_EQ(FieldText(CopyrightField(ImageAt(image))), stored);
    ASSERT_EQ(Cli({"add", image, Raw("b.raw", 10)}).status, 0);
    ASSERT_EQ(Cli({"delete", image, "0"}).status, 0);
    EXPECT_EQ(FieldText(CopyrightField(ImageAt(image))), stored);
    EXPECT_EQ(Lines(Cli({"info", image}).out)[0], "copyright: Ёжик (c) 2024");
}

TEST_F(Catalogue, InfoCountsWholePages) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, Raw("a.raw", 21600)}).status, 0);  // 41 pages
    EXPECT_EQ(Lines(Cli({"info", image}).out),
              (std::vector<std::string>{"copyright: ", "fragments: 1", "usage: Занято памяти: 1%",
                                        "used bytes: 21648", "free bytes: 2138400",
                                        "first free page: 46",
                                        "free seconds: PCM 22050 Hz 96.98, PCM 11025 Hz "
                                        "193.96, ADPCM 11025 Hz 387.92"}));
}

TEST_F(Catalogue, CheckReportsEveryBrokenInvariant) {
    const std::string good = NewImage();
    for (const char* name : {"a.raw", "b.raw", "c.raw"}) {
        ASSERT_EQ(Cli({"add", good, Raw(name, 1000)}).status, 0);
    }
    const ProgramResult ok = Cli({"check", good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "OK: catalogue intact, fragments: 3\n");

    struct Case {
        const char* name;
        void (*breakIt)(MemoryImage&);
        std::vector<std::string> report;
    };
    const Case cases[] = {
        {"magic",
         [](MemoryImage& m) { m[MAGIC_OFFSET + 1] = 'f'; },
         {"magic: bytes 2628 to 2632 are not \"*FDA*\""}},
        {"gap",
         [](MemoryImage& m) { SetEntryWord(m, 1, 8); },
         {"slot 1: starts at page 8, expected page 7",
          "slot 2: starts at page 9, expected page 10"}},
        {"code 3", [](MemoryImage& m) { SetFragmentFormat(m, 3, 3); }, {"slot 2: format code 3"}},
        {"past the end",
         [](MemoryImage& m) { SetFragmentLength(m, 2, 0xFFFFFF); },
         {"slot 2: data ends at byte 16781967, past the end of the image at byte 2162688"}},
        {"hidden entry",
         [](MemoryImage& m) { SetEntryWord(m, 7, 20); },
         {"slot 7: entry not zero at or behind the first empty slot 3"}},
        {"hole in the run",
         [](MemoryImage& m) { SetFragmentLength(m, 1, 0); },
         {"slot 1: entry not zero at or behind the first empty slot 1",
          "slot 2: entry not zero at or behind the first empty slot 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage broken = ImageAt(good);
        c.breakIt(broken);
        const std::string path = File("broken.bin");
        WriteFile(path, std::vector<std::uint8_t>(broken.data(), broken.data() + IMAGE_SIZE));
        const ProgramResult checked = Cli({"check", path});
        EXPECT_EQ(checked.status, 1);
        EXPECT_EQ(Lines(checked.out), c.report);
    }
}

}  // namespace
}  // namespace sonabank::test
