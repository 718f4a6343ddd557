#include "image/fragment_storage.h"

#include <gtest/gtest.h>

#include <random>

#include "image/fragment_list.h"
#include "image_builder.h"

namespace sonabank {
namespace {

using test::DescriptionName;
using test::PackedImage;
using test::PageTag;
using test::StartPages;

constexpr std::uint32_t Pages(std::uint32_t count) {
    return count * PAGE_SIZE;
}

// The page number each data page should carry after everything from page
// `from` moved `down` pages towards the start (negative: towards the end),
// copied byte by byte in the direction that keeps the overlap intact.
int TagAfterMove(int page, int from, int down) {
    const int last = static_cast<int>(PAGE_COUNT);
    if (down > 0) return (page >= from - down && page < last - down) ? page + down : page;
    if (down < 0) return page >= from - down ? page + down : page;
    return page;
}

void ExpectPagesMoved(const MemoryImage& image, int from, int down, const std::string& name) {
    for (int page = static_cast<int>(HEADER_PAGES); page < static_cast<int>(PAGE_COUNT); ++page) {
        ASSERT_EQ(PageTag(image, page), TagAfterMove(page, from, down))
            << name << ": page " << page;
    }
}

TEST(FragmentStorage, FirstFreePageAndRoom) {
    struct Case {
        std::vector<std::uint32_t> lengths;
        std::uint64_t firstFreePage;
        std::int64_t room;
    };
    const Case cases[] = {
        {{}, 5, 2'160'048},
        {{528, 529, 1}, 9, 2'157'936},
        {{static_cast<std::uint32_t>(DATA_CAPACITY)}, 4096, 0},
    };
    for (const Case& c : cases) {
        const MemoryImage image = PackedImage(c.lengths);
        EXPECT_EQ(FirstFreePage(image), c.firstFreePage);
        EXPECT_EQ(Room(image), c.room);
    }
}

TEST(FragmentStorage, ResizeMovesTheFragmentsBehind) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> lengths;
        int row;
        std::uint32_t newLength;
        std::vector<int> startPages;  // after the move
        int movedFrom;                // first page that moved
        int down;                     // pages moved towards the start; negative: towards the end
    };
    const Case cases[] = {
        {"3/5/2 pages, row 2 becomes 1,000 bytes",
         {Pages(3), Pages(5), Pages(2)},
         2,
         1000,
         {5, 8, 10},
         13,
         3},
        {"3/5/2 pages, row 1 becomes 5,000 bytes",
         {Pages(3), Pages(5), Pages(2)},
         1,
         5000,
         {5, 15, 20},
         8,
         -7},
        {"10 pages become 4", {Pages(10), Pages(3) - 7, 1}, 1, Pages(4), {5, 9, 12}, 15, 6},
        {"4 pages become 10", {Pages(4), Pages(3), 100}, 1, Pages(10) - 1, {5, 15, 18}, 9, -6},
        {"an empty follower with a start page moves too",
         {Pages(3), 0, Pages(2)},
         1,
         1,
         {5, 6, 6},
         8,
         2},
        {"an empty replacement", {Pages(3), Pages(2)}, 1, 0, {5, 5}, 8, 3},
    };
    for (const Case& c : cases) {
        MemoryImage image = PackedImage(c.lengths);
        const MemoryImage before = image;
        ResizeFragment(image, c.row, c.newLength);

        EXPECT_EQ(StartPages(image), c.startPages) << c.name;
        ExpectPagesMoved(image, c.movedFrom, c.down, c.name);
        for (int slot = 0; slot < static_cast<int>(c.lengths.size()); ++slot) {
            EXPECT_EQ(FragmentLength(image, slot), c.lengths[slot]) << c.name;
            EXPECT_EQ(GetFragmentFormat(image, slot + 1), slot % 3) << c.name;
        }
        // The catalogue apart from the directory is untouched.
        EXPECT_TRUE(std::equal(image.data() + COPYRIGHT_OFFSET, image.data() + DATA_OFFSET,
                               before.data() + COPYRIGHT_OFFSET))
            << c.name;
    }
}

TEST(FragmentStorage, ResizeThatMovesNothing) {
    const std::vector<std::uint32_t> all(MAX_FRAGMENTS, 1);
    struct Case {
        const char* name;
        std::vector<std::uint32_t> lengths;
        int row;
        std::uint32_t newLength;
    };
    const Case cases[] = {
        {"same page count", {Pages(3), Pages(5), Pages(2)}, 2, Pages(4) + 1},
        {"last fragment grows", {Pages(3), Pages(5), Pages(2)}, 3, 20'000},
        {"last fragment shrinks", {Pages(3), Pages(5), Pages(2)}, 3, 1},
        {"row 100", all, 100, 50'000},
    };
    for (const Case& c : cases) {
        MemoryImage image = PackedImage(c.lengths);
        const MemoryImage before = image;
        ResizeFragment(image, c.row, c.newLength);
        EXPECT_TRUE(image == before) << c.name;
    }
}

TEST(FragmentStorage, ResizeRow99WithAllSlotsUsedMovesRow100) {
    MemoryImage image = PackedImage(std::vector<std::uint32_t>(MAX_FRAGMENTS, 1));
    ResizeFragment(image, 99, Pages(3));
    EXPECT_EQ(StartPage(image, 98), 5 + 98);
    EXPECT_EQ(StartPage(image, 99), 5 + 98 + 3);
    EXPECT_EQ(GetFragmentFormat(image, 100), 99 % 3);
    ExpectPagesMoved(image, 5 + 99, -2, "row 99");
}

TEST(FragmentStorage, DeleteClosesTheGap) {
    MemoryImage image = PackedImage({Pages(3), Pages(5), Pages(2)});
    DeleteFragment(image, 1);

    EXPECT_EQ(StartPages(image), (std::vector<int>{5, 10}));
    EXPECT_EQ(FragmentLength(image, 0), Pages(5));
    EXPECT_EQ(FragmentLength(image, 1), Pages(2));
    EXPECT_EQ(GetFragmentFormat(image, 1), 1);
    EXPECT_EQ(GetFragmentFormat(image, 2), 2);
    EXPECT_EQ(EntryWord(image, 2), 0);
    EXPECT_EQ(FragmentLength(image, 2), 0u);
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 0), 20), DescriptionName(1));
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 1), 20), DescriptionName(2));
    // The emptied slot keeps the description it passed on.
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 2), 20), DescriptionName(2));
    ExpectPagesMoved(image, 8, 3, "delete row 1");
    EXPECT_EQ(ListFragments(image).count(), 2);
}

TEST(FragmentStorage, DeleteThatMovesNoData) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> lengths;
        int row;
    };
    const Case cases[] = {
        {"only fragment", {Pages(4)}, 1},
        {"last of three", {Pages(3), Pages(5), Pages(2)}, 3},
        {"row 100 of 100", std::vector<std::uint32_t>(MAX_FRAGMENTS, 700), 100},
    };
    for (const Case& c : cases) {
        MemoryImage image = PackedImage(c.lengths);
        MemoryImage expected = image;
        ClearEntry(expected, c.row - 1);
        DeleteFragment(image, c.row);
        EXPECT_TRUE(image == expected) << c.name;
        EXPECT_EQ(ListFragments(image).count(), c.row - 1) << c.name;
    }
}

TEST(FragmentStorage, DeleteRow1Of100) {
    MemoryImage image =
        PackedImage(std::vector<std::uint32_t>(MAX_FRAGMENTS, 700));  // 2 pages each
    DeleteFragment(image, 1);
    for (int slot = 0; slot < MAX_FRAGMENTS - 1; ++slot) {
        EXPECT_EQ(StartPage(image, slot), 5 + 2 * slot) << slot;
        EXPECT_EQ(GetFragmentFormat(image, slot + 1), (slot + 1) % 3) << slot;
        EXPECT_EQ(ReadPaddedText(DescriptionField(image, slot), 20), DescriptionName(slot + 1));
    }
    EXPECT_EQ(EntryWord(image, 99), 0);
    EXPECT_EQ(FragmentLength(image, 99), 0u);
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 99), 20), DescriptionName(99));
    EXPECT_EQ(ListFragments(image).count(), 99);
    ExpectPagesMoved(image, 7, 2, "delete row 1 of 100");
}

// Directories made elsewhere may say anything. Whatever they say, the data
// area is the only part of the image a move may touch, and out-of-order spans
// move nothing.
struct HostileCase {
    const char* name;
    std::vector<std::uint16_t> words;  // entry words from slot 0; lengths 1
    int row;
    std::uint32_t newLength;      // for resize
    std::vector<int> startPages;  // expected afterwards
    bool dataUnchanged;
};

MemoryImage HostileImage(const HostileCase& c) {
    MemoryImage image;
    InitImage(image);
    test::TagDataPages(image);
    for (std::size_t slot = 0; slot < c.words.size(); ++slot) {
        SetEntryWord(image, static_cast<int>(slot), c.words[slot]);
        SetFragmentLength(image, static_cast<int>(slot), 1);
    }
    return image;
}

void ExpectCatalogueIntact(const MemoryImage& image, const MemoryImage& before, const char* name) {
    EXPECT_TRUE(std::equal(image.data() + COPYRIGHT_OFFSET, image.data() + DESCRIPTION_OFFSET,
                           before.data() + COPYRIGHT_OFFSET))
        << name;
    EXPECT_TRUE(std::equal(image.data() + MAGIC_OFFSET, image.data() + DATA_OFFSET,
                           before.data() + MAGIC_OFFSET))
        << name;
}

TEST(FragmentStorage, ResizeOnHostileDirectories) {
    const HostileCase cases[] = {
        {"row starts at page 0", {0, 8, 9}, 1, 1, {}, true},
        {"row starts in the catalogue", {4, 8, 9}, 1, 1, {4, 8, 9}, true},
        {"descending start pages", {100, 50, 60}, 1, 1, {100, 50, 60}, true},
        {"follower past the last page, moving down", {5, 5000, 5001}, 1, 1, {5, 6, 7}, true},
        {"moving up past the end", {3995, 4000, 4001}, 1, Pages(200), {3995, 4195, 4196}, true},
        // 0xFFFFFFFF bytes are 8,134,408 pages: the start pages wrap within their 14 bits.
        {"start page field wraps, format kept",
         {0x8005, 0xBFFF, 0x4010},
         1,
         0xFFFFFFFF,
         {5, 7949, 7966},
         true},
    };
    for (const HostileCase& c : cases) {
        MemoryImage image = HostileImage(c);
        const MemoryImage before = image;
        ResizeFragment(image, c.row, c.newLength);
        EXPECT_EQ(StartPages(image), c.startPages) << c.name;
        for (std::size_t slot = 0; slot < c.words.size(); ++slot) {
            EXPECT_EQ(EntryWord(image, static_cast<int>(slot)) & 0xC000, c.words[slot] & 0xC000)
                << c.name;
        }
        ExpectCatalogueIntact(image, before, c.name);
        if (c.dataUnchanged) {
            EXPECT_TRUE(std::equal(image.data() + DATA_OFFSET, image.data() + IMAGE_SIZE,
                                   before.data() + DATA_OFFSET))
                << c.name;
        }
    }
}

TEST(FragmentStorage, DeleteOnHostileDirectories) {
    const HostileCase cases[] = {
        {"deleted fragment starts at page 0", {0, 8, 9}, 1, 0, {8, 9}, true},
        {"deleted fragment starts in the catalogue", {3, 8, 9}, 1, 0, {8, 9}, true},
        {"zero distance", {8, 8, 9}, 1, 0, {8, 9}, true},
        {"negative distance", {100, 50, 60}, 1, 0, {50, 60}, true},
        {"follower past the last page", {5, 9000, 9001}, 1, 0, {5, 6}, true},
        {"the largest start pages", {0x3FFE, 0x3FFF, 0x3FFF}, 1, 0, {0x3FFE, 0x3FFE}, true},
    };
    for (const HostileCase& c : cases) {
        MemoryImage image = HostileImage(c);
        const MemoryImage before = image;
        DeleteFragment(image, c.row);
        EXPECT_EQ(StartPages(image), c.startPages) << c.name;
        EXPECT_EQ(EntryWord(image, static_cast<int>(c.words.size()) - 1), 0) << c.name;
        ExpectCatalogueIntact(image, before, c.name);
        if (c.dataUnchanged) {
            EXPECT_TRUE(std::equal(image.data() + DATA_OFFSET, image.data() + IMAGE_SIZE,
                                   before.data() + DATA_OFFSET))
                << c.name;
        }
    }
}

// Random directories, most of them nonsense: run under the sanitizers this
// shows that no start page, distance or length leads outside the image.
TEST(FragmentStorage, RandomDirectoriesStayInsideTheImage) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    std::uniform_int_distribution<int> row(1, MAX_FRAGMENTS);
    std::uniform_int_distribution<std::uint32_t> length(0, 0xFFFFFF);
    MemoryImage image;
    InitImage(image);
    const MemoryImage fresh = image;
    for (int round = 0; round < 300; ++round) {
        const int used = row(random);
        for (int slot = 0; slot < MAX_FRAGMENTS; ++slot) {
            SetEntryWord(image, slot, slot < used ? static_cast<std::uint16_t>(word(random)) : 0);
            SetFragmentLength(image, slot, length(random));
        }
        if (round % 2 == 0) {
            ResizeFragment(image, row(random), length(random) >> (round % 24));
        } else {
            DeleteFragment(image, row(random));
        }
        ExpectCatalogueIntact(image, fresh, "random directory");
    }
}

}  // namespace
}  // namespace sonabank
