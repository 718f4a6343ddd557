#include "playback/raw_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fragment_fixture.h"
#include "image/codepage.h"
#include "io/byte_stream.h"
#include "playback/wav_render.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using test::DecodeNibbles;
using test::PlaceFragment;
using test::ReadFile;
using test::StoredBytes;
using test::TempDir;

struct ExportCase {
    const char* name;
    int format;
    int page;
    std::uint32_t length;
    std::size_t fileSize;
};
void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.name;
}

class RawExportContents : public testing::TestWithParam<ExportCase> {};

TEST_P(RawExportContents, WritesTheSamplesAndNothingElse) {
    const ExportCase& c = GetParam();
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 1, 5, 700);
    PlaceFragment(image, 1, c.format, c.page, c.length);
    TempDir dir;
    const std::string path = dir.file("out.raw");

    ASSERT_EQ(ExportRaw(image, 2, path, workspace), std::nullopt);

    const auto file = ReadFile(path);
    ASSERT_EQ(file.size(), c.fileSize);
    const std::size_t start = static_cast<std::size_t>(c.page) * PAGE_SIZE;
    const auto stored =
        StoredBytes(image, start, std::min<std::size_t>(c.length, IMAGE_SIZE - start));
    EXPECT_EQ(file, c.format == 0 ? DecodeNibbles(stored) : stored);
}

INSTANTIATE_TEST_SUITE_P(Formats, RawExportContents,
                         testing::Values(ExportCase{"AdpcmTwoBytesPerStoredByte", 0, 7, 1000, 2000},
                                         // Decoded and written in several pieces.
                                         ExportCase{"AdpcmLongerThanAPiece", 0, 7, 100001, 200002},
                                         // 600 bytes leave 456 bytes of the second page unwritten.
                                         ExportCase{"Pcm11025StoredBytesOnly", 1, 7, 600, 600},
                                         ExportCase{"Pcm22050StoredBytesOnly", 2, 7, 1056, 1056},
                                         ExportCase{"Code3StoredBytes", 3, 7, 10, 10},
                                         ExportCase{"ForeignEntryClippedAtTheImageEnd", 2, 4095,
                                                    2000, 528}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RawExport, RepeatedAdpcmExportsAreIdentical) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 0, 5, 5000);
    TempDir dir;

    ASSERT_EQ(ExportRaw(image, 1, dir.file("a.raw"), workspace), std::nullopt);
    AdpcmDecode(workspace.adpcm, 7);  // leave the shared codec state somewhere else
    ASSERT_EQ(ExportRaw(image, 1, dir.file("b.raw"), workspace), std::nullopt);
    EXPECT_EQ(ReadFile(dir.file("a.raw")), ReadFile(dir.file("b.raw")));
}

TEST(RawExport, RefusesAFileThatCannotBeCreated) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 2, 5, 100);
    TempDir dir;
    const std::string path = dir.file("missing/out.raw");

    EXPECT_EQ(ExportRaw(image, 1, path, workspace), Refusal::CannotCreate);
    EXPECT_FALSE(std::filesystem::exists(path));
}

class ShortWrites : public FileFaultHook {
  public:
    FaultAction Before(FileOp op) override {
        return op == FileOp::Write ? FaultAction::Short : FaultAction::Proceed;
    }
};

TEST(RawExport, ShortWriteIsDiskFull) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 2, 5, 100);
    TempDir dir;
    ShortWrites hook;
    SetFileFaultHook(&hook);
    try {
        ExportRaw(image, 1, dir.file("out.raw"), workspace);
        ADD_FAILURE() << "no error";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_DISK_FULL);
    }
    SetFileFaultHook(nullptr);
}

struct NameCase {
    const char* name;
    std::string description;  // UTF-8; written as code page 1251
    int format;
    std::string suggested;
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class SuggestedExportNames : public testing::TestWithParam<NameCase> {};

TEST_P(SuggestedExportNames, DescriptionCutAtTrailingBlanksPlusFormat) {
    const NameCase& c = GetParam();
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 1, 5, 10);
    PlaceFragment(image, 1, c.format, 6, 10);
    const std::string stored = Utf8ToCp1251(c.description);
    const auto field = DescriptionField(image, 1);
    std::fill(field.begin(), field.end(), ' ');
    std::copy(stored.begin(), stored.end(), field.begin());

    EXPECT_EQ(SuggestedExportName(image, 2), c.suggested);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, SuggestedExportNames,
    testing::Values(
        NameCase{"OneWordAdpcm", "Гудок", 0, "Гудок (ADPCM 11025 Hz)"},
        NameCase{"AllBlanksPcm11025", "", 1, " (PCM 11025 Hz)"},
        NameCase{"InnerBlanksKept", "Два  слова", 2, "Два  слова (PCM 22050 Hz)"},
        NameCase{"FullWidth", "abcdefghijklmnopqrstu", 2, "abcdefghijklmnopqrstu (PCM 22050 Hz)"},
        NameCase{"Code3Bare", "Чужой", 3, "Чужой"},
        NameCase{"ZeroByteEndsTheName", std::string("ab\0cd", 5), 1, "ab (PCM 11025 Hz)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sonabank
