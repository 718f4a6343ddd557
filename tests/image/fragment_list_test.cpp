#include "image/fragment_list.h"

#include <gtest/gtest.h>

#include "image/fragment_storage.h"  // Room
#include "image_builder.h"

namespace sonabank {
namespace {

using test::PackedImage;

TEST(FragmentList, FreshImageListsNothing) {
    MemoryImage image;
    InitImage(image);
    const FragmentList list = ListFragments(image);
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.firstEmptyRow, 1);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(UsageText(UsagePercent(image)), "Занято памяти: 0%");
}

TEST(FragmentList, EmptySlotZeroEndsTheListWhateverFollows) {
    MemoryImage image = PackedImage({528, 528, 528});
    ClearEntry(image, 0);
    EXPECT_TRUE(ListFragments(image).rows.empty());
    EXPECT_EQ(ListFragments(image).firstEmptyRow, 1);
}

TEST(FragmentList, RowsShowDescriptionAndFormat) {
    MemoryImage image = PackedImage({100, 200, 300, 400});
    SetFragmentFormat(image, 4, FORMAT_CODE_UNKNOWN);
    auto description = DescriptionField(image, 1);
    description[3] = 0;  // the grid shows the field up to its first zero byte

    const FragmentList list = ListFragments(image);
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.firstEmptyRow, 5);
    EXPECT_EQ(list.rows[0].row, 1);
    EXPECT_EQ(list.rows[0].description, "frag 0" + std::string(15, ' '));  // blanks kept
    EXPECT_EQ(list.rows[1].description, "fra");
    EXPECT_EQ(list.rows[0].formatName, "ADPCM 11025 Hz");
    EXPECT_EQ(list.rows[1].formatName, "PCM 11025 Hz");
    EXPECT_EQ(list.rows[2].formatName, "PCM 22050 Hz");
    EXPECT_FALSE(list.rows[3].formatName.has_value());
    EXPECT_EQ(list.rows[3].row, 4);
}

TEST(FragmentList, AllSlotsUsed) {
    const MemoryImage image = PackedImage(std::vector<std::uint32_t>(MAX_FRAGMENTS, 1));
    const FragmentList list = ListFragments(image);
    ASSERT_EQ(list.rows.size(), 100u);
    EXPECT_EQ(list.firstEmptyRow, 101);
    EXPECT_EQ(list.count(), 100);
    EXPECT_EQ(list.rows.back().row, 100);
}

TEST(FragmentList, UsageRoundsUpToWholePages) {
    struct Case {
        std::vector<std::uint32_t> lengths;
        std::uint64_t usedBytes;
        std::uint64_t percent;
    };
    const Case cases[] = {
        {{0}, 0, 0},
        {{1}, 528, 0},
        {{528}, 528, 0},
        {{529}, 1056, 0},
        {{528, 529, 1}, 2112, 0},
        {{21'120}, 21'120, 0},  // 40 pages: just under one per cent
        {{21'600}, 21'648, 1},  // 41 pages
        {{static_cast<std::uint32_t>(DATA_CAPACITY) - 1}, DATA_CAPACITY, 100},
        {{static_cast<std::uint32_t>(DATA_CAPACITY)}, DATA_CAPACITY, 100},
    };
    for (const Case& c : cases) {
        const MemoryImage image = PackedImage(c.lengths);
        EXPECT_EQ(UsedBytes(image), c.usedBytes) << c.lengths[0];
        EXPECT_EQ(UsagePercent(image), c.percent) << c.lengths[0];
    }
}

TEST(FragmentList, UsageCountsEveryUsedSlotEvenBehindAGap) {
    MemoryImage image = PackedImage({528, 528});
    SetFragmentLength(image, 50, 1);
    EXPECT_EQ(UsedBytes(image), 3 * PAGE_SIZE);
}

TEST(FragmentList, ForeignHugeLengthsDoNotOverflow) {
    MemoryImage image;
    InitImage(image);
    for (int slot = 0; slot < MAX_FRAGMENTS; ++slot) SetFragmentLength(image, slot, 0xFFFFFF);
    // 100 x 31,776 pages of 528 bytes: the product with 100 passes 32 bits.
    const std::uint64_t used = 100ull * 31'776 * 528;
    EXPECT_EQ(UsedBytes(image), used);
    EXPECT_EQ(UsagePercent(image), used * 100 / 2'160'048);
    EXPECT_EQ(UsageText(UsagePercent(image)), "Занято памяти: 77672%");
    EXPECT_LT(Room(image), 0);
}

}  // namespace
}  // namespace sonabank
