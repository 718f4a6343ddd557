#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

#include "codec/adpcm.h"
#include "codec/fragment_import.h"
#include "image/fragment_storage.h"
#include "image/image_builder.h"
#include "io/byte_stream.h"
#include "project/project.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Deterministic bytes that differ from page to page and from 0xFF.
Bytes Pattern(std::size_t count, unsigned seed = 1) {
    Bytes bytes(count);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

Bytes Le16(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    for (const std::int16_t s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return bytes;
}

// 8-bit samples as the encoder receives them.
std::vector<std::int16_t> Widened(const Bytes& bytes) {
    std::vector<std::int16_t> samples;
    for (const std::uint8_t b : bytes)
        samples.push_back(static_cast<std::int16_t>((b - 128) * 256));
    return samples;
}

// What the encoder makes of a run of samples from a reset, packed in pairs.
Bytes EncodedPairs(const std::vector<std::int16_t>& samples) {
    AdpcmState state;
    Bytes packed;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        const std::uint8_t high = AdpcmEncode(state, samples[i]);
        packed.push_back(static_cast<std::uint8_t>(high << 4 | AdpcmEncode(state, samples[i + 1])));
    }
    return packed;
}

Bytes PageRange(const MemoryImage& image, std::size_t firstPage, std::size_t bytes) {
    const std::uint8_t* start = image.data() + firstPage * PAGE_SIZE;
    return Bytes(start, start + bytes);
}

Bytes DescriptionBytes(const MemoryImage& image, int slot) {
    const auto field = DescriptionField(image, slot);
    return Bytes(field.begin(), field.end());
}

Bytes Padded(const std::string& cp1251) {
    Bytes bytes(DESCRIPTION_WIDTH, ' ');
    std::copy_n(cp1251.begin(), std::min(cp1251.size(), bytes.size()), bytes.begin());
    return bytes;
}

MemoryImage FreshImage() {
    MemoryImage image;
    InitImage(image);
    return image;
}

enum class DialogMode { Add, Change };

struct ImportRequest {
    std::string fileName;
    SourceWidth width = SourceWidth::Bits8;
    SoundFormat format = SoundFormat::PCM_22050;
    std::string description;
    DialogMode mode = DialogMode::Add;
    int targetRow = 1;
};

// A RAW file added or changed as the window and the command line do it,
// through the project object.
Outcome ImportRaw(MemoryImage& image, const ImportRequest& request) {
    Project project;
    project.image() = image;
    const RawFragment fragment{request.fileName, request.width, request.format,
                               request.description};
    const Outcome outcome = request.mode == DialogMode::Add
                                ? project.Add(fragment)
                                : project.Change(request.targetRow, fragment);
    image = project.image();
    return outcome;
}

class RawImport : public ::testing::Test {
  protected:
    std::string Source(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        test::WriteFile(path, bytes);
        return path;
    }
    static ImportRequest Request(std::string file, SourceWidth width, SoundFormat format,
                                 DialogMode mode = DialogMode::Add, int row = 1) {
        ImportRequest request;
        request.fileName = std::move(file);
        request.width = width;
        request.format = format;
        request.mode = mode;
        request.targetRow = row;
        return request;
    }

    test::TempDir dir;
};

TEST_F(RawImport, StoresTheFourConversions) {
    std::vector<std::int16_t> ramp;  // high bytes 0, 1, ..., 255, 0, ... made signed
    Bytes rampHighBytes;
    for (int k = 0; k < 500; ++k) {
        ramp.push_back(static_cast<std::int16_t>(((k % 256) - 128) * 256 + 0x7F));
        rampHighBytes.push_back(static_cast<std::uint8_t>(k % 256));
    }
    Bytes ramp1001 = Le16(ramp);
    ramp1001.push_back(0x55);

    const Bytes eight = Pattern(2000);
    Bytes sixteen = Pattern(2113, 2);
    std::vector<std::int16_t> samples16;
    for (std::size_t i = 0; i + 1 < 2112; i += 2) {
        samples16.push_back(static_cast<std::int16_t>(sixteen[i] | sixteen[i + 1] << 8));
    }

    struct Case {
        const char* name;
        SourceWidth width;
        SoundFormat format;
        Bytes source;
        Bytes stored;  // the fragment's L bytes
    };
    const Case cases[] = {
        {"8-bit PCM over two pages", SourceWidth::Bits8, SoundFormat::PCM_22050, Pattern(1000),
         Pattern(1000)},
        {"16-bit PCM keeps the high byte made unsigned",
         SourceWidth::Bits16,
         SoundFormat::PCM_11025,
         Le16({0x0000, -1, 0x7FFF, -0x8000, 0x1234}),
         {128, 127, 255, 0, 146}},
        {"16-bit PCM ignores an odd last byte", SourceWidth::Bits16, SoundFormat::PCM_22050,
         ramp1001, rampHighBytes},
        {"8-bit ADPCM, worked example",
         SourceWidth::Bits8,
         SoundFormat::ADPCM_11025,
         {128, 160, 200, 255, 128, 0},
         {0x07, 0x77, 0xDF}},
        {"8-bit ADPCM ignores an unpaired last sample",
         SourceWidth::Bits8,
         SoundFormat::ADPCM_11025,
         {128, 160, 200},
         {0x07}},
        {"16-bit ADPCM, worked example",
         SourceWidth::Bits16,
         SoundFormat::ADPCM_11025,
         Le16({0, 8192, 18432, 32512, 0, -32768}),
         {0x07, 0x77, 0xDF}},
        {"8-bit ADPCM carries the state across pages", SourceWidth::Bits8, SoundFormat::ADPCM_11025,
         eight, EncodedPairs(Widened(eight))},
        {"16-bit ADPCM of 2113 bytes fills one page", SourceWidth::Bits16, SoundFormat::ADPCM_11025,
         sixteen, EncodedPairs(samples16)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = FreshImage();
        const Outcome result =
            ImportRaw(image, Request(Source("in.raw", c.source), c.width, c.format));
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.row, 1);
        EXPECT_EQ(StartPage(image, 0), 5);
        EXPECT_EQ(GetFragmentFormat(image, 1), static_cast<int>(c.format));
        ASSERT_EQ(FragmentLength(image, 0), c.stored.size());
        const std::size_t pages = pagesOf(c.stored.size());
        const std::size_t tail = pages * PAGE_SIZE - c.stored.size();
        EXPECT_EQ(PageRange(image, 5, pages * PAGE_SIZE),
                  [&] {
                      Bytes expected = c.stored;
                      expected.resize(expected.size() + tail, 0);
                      return expected;
                  }())
            << "the last page ends in " << tail << " zeros";
        EXPECT_EQ(PageRange(image, 5 + pages, PAGE_SIZE), Bytes(PAGE_SIZE, 0xFF))
            << "nothing beyond the fragment's pages";
        EXPECT_EQ(FragmentLength(image, 1), 0u);
    }
}

TEST_F(RawImport, ChoosesTheTargetRowAndStartPage) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> lengths;
        int row;
        int startPage;
    };
    const Case cases[] = {
        {"empty image", {}, 1, 5},
        {"behind three fragments", {528, 529, 1}, 4, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = test::PackedImage(c.lengths);
        const ImportRequest request =
            Request(Source("in.raw", Pattern(600)), SourceWidth::Bits8, SoundFormat::PCM_11025);
        const Outcome result = ImportRaw(image, request);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.row, c.row);
        EXPECT_EQ(StartPage(image, c.row - 1), c.startPage);
        EXPECT_EQ(FragmentLength(image, c.row - 1), 600u);
        EXPECT_EQ(PageRange(image, c.startPage, 600), Pattern(600));
    }
}

TEST_F(RawImport, RoomLimits) {
    const std::size_t roomAfterTwoPages = DATA_CAPACITY - 2 * PAGE_SIZE;
    struct Case {
        const char* name;
        std::vector<std::uint32_t> lengths;
        std::size_t fileBytes;
        SoundFormat format;
        DialogMode mode;
        std::uint32_t endPage;  // page behind the stored fragment; 0: refused
    };
    const Case cases[] = {
        {"one byte more than the data area as PCM",
         {},
         DATA_CAPACITY + 1,
         SoundFormat::PCM_22050,
         DialogMode::Add,
         0},
        {"the same as ADPCM",
         {},
         DATA_CAPACITY + 1,
         SoundFormat::ADPCM_11025,
         DialogMode::Add,
         5 + pagesOf(1'080'024)},
        {"exactly the room",
         {1000},
         roomAfterTwoPages,
         SoundFormat::PCM_11025,
         DialogMode::Add,
         4096},
        {"one byte more than the room",
         {1000},
         roomAfterTwoPages + 1,
         SoundFormat::PCM_11025,
         DialogMode::Add,
         0},
        {"replacing in a full data area still counts the old fragment",
         {static_cast<std::uint32_t>(DATA_CAPACITY) - 528, 528},
         1,
         SoundFormat::PCM_11025,
         DialogMode::Change,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = test::PackedImage(c.lengths);
        const MemoryImage before = image;
        const ImportRequest request = Request(Source("big.raw", Pattern(c.fileBytes)),
                                              SourceWidth::Bits8, c.format, c.mode, 1);
        const Outcome result = ImportRaw(image, request);
        if (c.endPage == 0) {
            EXPECT_EQ(result.refusal, Refusal::TooBig);
            EXPECT_TRUE(image == before);
            continue;
        }
        ASSERT_TRUE(result.ok());
        const int slot = result.row - 1;
        const std::size_t unit = c.format == SoundFormat::ADPCM_11025 ? 2 : 1;
        EXPECT_EQ(FragmentLength(image, slot), c.fileBytes / unit);
        EXPECT_EQ(StartPage(image, slot) + pagesOf(FragmentLength(image, slot)), c.endPage);
    }
}

TEST_F(RawImport, ReplacementMovesTheFollowersBothWays) {
    struct Case {
        const char* name;
        int row;
        SoundFormat format;  // differs from the replaced fragment's in both bits or one
        std::size_t length;
        std::vector<int> startPages;
    };
    // Fragments of 3, 5 and 2 pages at pages 5, 8 and 13, formats 0, 1 and 2.
    const Case cases[] = {
        {"smaller: the followers move down", 2, SoundFormat::ADPCM_11025, 1000, {5, 8, 10}},
        {"larger: the followers move up", 1, SoundFormat::PCM_22050, 5000, {5, 15, 20}},
        {"same page count: nothing moves", 1, SoundFormat::PCM_11025, 3 * 528 - 7, {5, 8, 13}},
        {"the last fragment: nothing moves", 3, SoundFormat::PCM_11025, 4000, {5, 8, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = test::PackedImage({3 * 528, 5 * 528, 2 * 528});
        const MemoryImage before = image;
        const bool adpcm = c.format == SoundFormat::ADPCM_11025;
        const Bytes source = Pattern(adpcm ? 2 * c.length : c.length, 3);
        const Bytes stored = adpcm ? EncodedPairs(Widened(source)) : source;

        ImportRequest request = Request(Source("new.raw", source), SourceWidth::Bits8, c.format,
                                        DialogMode::Change, c.row);
        request.description = "replaced";
        const Outcome result = ImportRaw(image, request);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.row, c.row);
        EXPECT_EQ(test::StartPages(image), c.startPages);

        const int slot = c.row - 1;
        EXPECT_EQ(GetFragmentFormat(image, c.row), static_cast<int>(c.format));
        EXPECT_EQ(FragmentLength(image, slot), c.length);
        EXPECT_EQ(PageRange(image, c.startPages[slot], c.length), stored);
        EXPECT_EQ(DescriptionBytes(image, slot), Padded("replaced"));
        for (int follower = slot + 1; follower < 3; ++follower) {
            SCOPED_TRACE(follower);
            EXPECT_EQ(GetFragmentFormat(image, follower + 1),
                      GetFragmentFormat(before, follower + 1));
            EXPECT_EQ(FragmentLength(image, follower), FragmentLength(before, follower));
            EXPECT_EQ(DescriptionBytes(image, follower), DescriptionBytes(before, follower));
            const std::size_t bytes = pagesOf(FragmentLength(before, follower)) * PAGE_SIZE;
            EXPECT_EQ(PageRange(image, c.startPages[follower], bytes),
                      PageRange(before, StartPage(before, follower), bytes));
        }
    }
}

// Directory entries written straight into the image, for catalogues the
// program itself would never make.
struct Entry {
    int startPage;
    std::uint32_t length;
};
MemoryImage ImageWith(const std::vector<Entry>& entries) {
    MemoryImage image = FreshImage();
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        SetEntryWord(image, static_cast<int>(slot),
                     static_cast<std::uint16_t>(entries[slot].startPage));
        SetFragmentLength(image, static_cast<int>(slot), entries[slot].length);
    }
    return image;
}

TEST_F(RawImport, RefusalsLeaveTheImageAsItWas) {
    const std::string readOnly = Source("readonly.raw", Pattern(100));
    test::MakeReadOnly(readOnly);
    std::vector<Entry> hundred;
    for (int slot = 0; slot < MAX_FRAGMENTS; ++slot) hundred.push_back({5 + slot, 528});

    struct Case {
        const char* name;
        MemoryImage image;
        ImportRequest request;
        Refusal refusal;
    };
    const auto request = [&](std::string file, std::size_t bytes, SourceWidth width,
                             SoundFormat format, DialogMode mode = DialogMode::Add, int row = 1) {
        // Every case has its own file: the table is built before any runs.
        if (bytes != SIZE_MAX) file = Source(std::to_string(bytes) + file, Pattern(bytes));
        ImportRequest r = Request(file, width, format, mode, row);
        r.description = "kept out";
        return r;
    };
    constexpr std::size_t NO_FILE = SIZE_MAX;
    const auto B8 = SourceWidth::Bits8;
    const auto B16 = SourceWidth::Bits16;
    const auto PCM = SoundFormat::PCM_11025;
    const auto ADPCM = SoundFormat::ADPCM_11025;
    const auto CHANGE = DialogMode::Change;
    const Case cases[] = {
        {"Add without a file name", test::PackedImage({1000}), request("", NO_FILE, B8, PCM),
         Refusal::NoFileName},
        {"a missing file", test::PackedImage({1000}),
         request(dir.file("none.raw"), NO_FILE, B8, PCM), Refusal::CannotOpen},
        {"a missing file to replace with", test::PackedImage({1000}),
         request(dir.file("none.raw"), NO_FILE, B8, PCM, CHANGE), Refusal::CannotOpen},
        {"a read-only file", test::PackedImage({1000}), request(readOnly, NO_FILE, B8, PCM),
         Refusal::CannotOpen},
        {"an empty file", test::PackedImage({1000}), request("e.raw", 0, B8, PCM),
         Refusal::NoSoundData},
        {"an empty file in place of a fragment with followers", test::PackedImage({1000, 2000}),
         request("e.raw", 0, B8, PCM, CHANGE), Refusal::NoSoundData},
        {"one byte of 16-bit samples", FreshImage(), request("1.raw", 1, B16, PCM),
         Refusal::NoSoundData},
        {"one 8-bit sample as ADPCM", FreshImage(), request("1.raw", 1, B8, ADPCM),
         Refusal::NoSoundData},
        {"three bytes of 16-bit samples as ADPCM", FreshImage(), request("3.raw", 3, B16, ADPCM),
         Refusal::NoSoundData},
        {"Add with all 100 slots used", ImageWith(hundred), request("s.raw", 10, B8, PCM),
         Refusal::NoRoom},
        {"a fragment whose pages would pass page 4095", ImageWith({{4090, 528}}),
         request("s.raw", 7 * 528, B8, PCM, CHANGE), Refusal::TooBig},
        {"a fragment whose start page lies in the catalogue", ImageWith({{0, 528}, {6, 528}}),
         request("s.raw", 528, B8, PCM, CHANGE), Refusal::TooBig},
        {"followers that would move past page 4095", ImageWith({{5, 528}, {6, 528}, {4095, 528}}),
         request("s.raw", 2 * 528, B8, PCM, CHANGE), Refusal::TooBig},
        {"followers that would move into the catalogue", ImageWith({{5, 528}, {20, 528}, {6, 528}}),
         request("s.raw", 528, B8, PCM, CHANGE), Refusal::TooBig},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = c.image;
        const Outcome result = ImportRaw(image, c.request);
        EXPECT_EQ(result.refusal, c.refusal);
        EXPECT_TRUE(image == c.image);
    }
}

// Makes the N-th operation of one kind fail, or come up short.
class FaultOn : public FileFaultHook {
  public:
    FaultOn(FileOp op, int nth, FaultAction action) : op_(op), nth_(nth), action_(action) {
        SetFileFaultHook(this);
    }
    ~FaultOn() override { SetFileFaultHook(nullptr); }
    FaultAction Before(FileOp op) override {
        if (op != op_) return FaultAction::Proceed;
        return ++count_ == nth_ ? action_ : FaultAction::Proceed;
    }

  private:
    FileOp op_;
    int nth_;
    FaultAction action_;
    int count_ = 0;
};

TEST_F(RawImport, AnInputErrorLeavesTheImageAsItWas) {
    struct Case {
        const char* name;
        FileOp op;
        int nth;
        DialogMode mode;
        // A fresh image: an added fragment is encoded straight into its blank
        // pages, which must be blank again.
        bool fresh = false;
    };
    const Case cases[] = {
        {"size query", FileOp::Size, 1, DialogMode::Add},
        {"first read", FileOp::Read, 1, DialogMode::Add},
        {"a read in the middle of the file", FileOp::Read, 3, DialogMode::Change},
        {"closing", FileOp::Close, 1, DialogMode::Change},
        {"a read in the middle of the file, added in place", FileOp::Read, 3, DialogMode::Add,
         true},
        {"closing, added in place", FileOp::Close, 1, DialogMode::Add, true},
    };
    // Large enough to take several reads.
    const std::string path = Source("in.raw", Pattern(256 * 1024));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = test::PackedImage({1000, 3000, 500});
        if (c.fresh) InitImage(image);
        const MemoryImage before = image;
        FaultOn fault(c.op, c.nth, FaultAction::Fail);
        EXPECT_TRUE(ImportRaw(image, Request(path, SourceWidth::Bits16, SoundFormat::ADPCM_11025,
                                             c.mode, 1))
                        .ioError);
        EXPECT_TRUE(image == before);
    }
}

TEST_F(RawImport, AShortReadStillFillsTheBlock) {
    const std::string path = Source("in.raw", Pattern(5 * 2112 + 3));
    const ImportRequest request = Request(path, SourceWidth::Bits16, SoundFormat::ADPCM_11025);
    MemoryImage expected = FreshImage();
    ASSERT_TRUE(ImportRaw(expected, request).ok());

    MemoryImage image = FreshImage();
    FaultOn shortRead(FileOp::Read, 2, FaultAction::Short);
    ASSERT_TRUE(ImportRaw(image, request).ok());
    EXPECT_TRUE(image == expected);
}

TEST_F(RawImport, Descriptions) {
    struct Case {
        const char* name;
        DialogMode mode;
        const char* fileName;  // inside the test folder; nullptr: none given
        const char* description;
        std::string stored;  // code page 1251
    };
    const Case cases[] = {
        {"trimmed", DialogMode::Add, "bell.raw", "  Hello  ", "Hello"},
        {"control characters count as blanks", DialogMode::Add, "bell.raw", "\t a b \r\n", "a b"},
        {"blank: the file name", DialogMode::Add, "bell.raw", "   ", "bell.raw"},
        {"cut after 21 characters", DialogMode::Add, "bell.raw", "0123456789abcdefghijKLMN",
         "0123456789abcdefghijK"},
        {"a long file name is cut", DialogMode::Add, "a_rather_long_sound_name.raw", "",
         "a_rather_long_sound_n"},
        {"Cyrillic in code page 1251", DialogMode::Add, "bell.raw", "Звонок",
         "\xC7\xE2\xEE\xED\xEE\xEA"},
        {"a Cyrillic file name", DialogMode::Add, "звук.raw", "", "\xE7\xE2\xF3\xEA.raw"},
        {"unencodable characters", DialogMode::Add, "bell.raw", "snow \u2603", "snow ?"},
        {"Change with a file, blank", DialogMode::Change, "bell.raw", " ", "bell.raw"},
        {"Change without a file", DialogMode::Change, nullptr, "  New  ", "New"},
        {"Change without a file, blank", DialogMode::Change, nullptr, " \t ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = test::PackedImage({1000, 600});
        const MemoryImage before = image;
        const std::string file = c.fileName ? Source(c.fileName, Pattern(600)) : "";
        ImportRequest request =
            Request(file, SourceWidth::Bits8, SoundFormat::PCM_11025, c.mode, 1);
        request.description = c.description;
        const Outcome result = ImportRaw(image, request);
        ASSERT_TRUE(result.ok());
        const int slot = result.row - 1;
        EXPECT_EQ(DescriptionBytes(image, slot), Padded(c.stored));
        if (!c.fileName) {
            // Only the description changed.
            MemoryImage expected = before;
            WritePaddedText(DescriptionField(expected, slot), DESCRIPTION_WIDTH - 1, c.stored);
            EXPECT_TRUE(image == expected);
        }
    }
}

TEST(ShortFileName, IsTheLastPathComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/user/sounds/bell.raw", "bell.raw"},
        {"bell.raw", "bell.raw"},
        {"sounds/", ""},
        {"C:\\SOUNDS\\BELL.RAW", "C:\\SOUNDS\\BELL.RAW"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(ShortFileName(path), name) << path;
}

}  // namespace
}  // namespace sonabank
