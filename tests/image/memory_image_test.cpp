#include "image/memory_image.h"

#include <gtest/gtest.h>

#include <string>

namespace sonabank {
namespace {

TEST(MemoryImage, FreshImageHasTheCatalogueLayout) {
    MemoryImage image;
    image[IMAGE_SIZE - 1] = 0x12;  // InitImage must overwrite whatever was there
    image[10] = 0x34;
    InitImage(image);

    struct Region {
        std::size_t begin, end;
        std::uint8_t value;
    };
    const Region regions[] = {
        {0, 500, 0x00},            // directory
        {500, 528, 0x00},          // copyright
        {528, 2628, 0x20},         // descriptions
        {2633, 2640, 0x00},        // unused tail of the catalogue
        {2640, IMAGE_SIZE, 0xFF},  // sound data
    };
    for (const Region& region : regions) {
        for (std::size_t i = region.begin; i < region.end; ++i) {
            ASSERT_EQ(image[i], region.value) << "offset " << i;
        }
    }
    EXPECT_EQ(std::string(image.data() + MAGIC_OFFSET, image.data() + MAGIC_OFFSET + 5), "*FDA*");
    EXPECT_TRUE(HasMagic(image));
    image[MAGIC_OFFSET + 4] = '!';
    EXPECT_FALSE(HasMagic(image));
}

TEST(MemoryImage, EntryFieldsAreLittleEndianAndIndependent) {
    MemoryImage image;
    SetEntryWord(image, 7, 0x1234);
    SetFragmentFormat(image, 8, 2);
    SetFragmentLength(image, 7, 0xABCDEF);
    const std::uint8_t* entry = image.data() + 7 * ENTRY_SIZE;
    EXPECT_EQ(entry[0], 0x34);
    EXPECT_EQ(entry[1], 0x92);  // format 2 in the top bits, start page kept
    EXPECT_EQ(entry[2], 0xAB);
    EXPECT_EQ(entry[3], 0xEF);
    EXPECT_EQ(entry[4], 0xCD);
    EXPECT_EQ(StartPage(image, 7), 0x1234);
    EXPECT_EQ(GetFragmentFormat(image, 8), 2);
    EXPECT_EQ(FragmentLength(image, 7), 0xABCDEFu);

    SetFragmentFormat(image, 8, 3);
    EXPECT_EQ(EntryWord(image, 7), 0xD234);
    SetFragmentFormat(image, 8, 0);
    EXPECT_EQ(EntryWord(image, 7), 0x1234);

    ClearEntry(image, 7);
    for (std::size_t i = 0; i < ENTRY_SIZE; ++i) EXPECT_EQ(entry[i], 0);
    EXPECT_EQ(image[6 * ENTRY_SIZE + 4], 0);
    EXPECT_EQ(image[8 * ENTRY_SIZE], 0);
}

TEST(MemoryImage, SlotsOutsideTheDirectoryAreRejected) {
    MemoryImage image;
    EXPECT_THROW(EntryWord(image, MAX_FRAGMENTS), std::out_of_range);
    EXPECT_THROW(SetFragmentLength(image, -1, 1), std::out_of_range);
    EXPECT_THROW(DescriptionField(image, MAX_FRAGMENTS), std::out_of_range);
}

TEST(MemoryImage, WritePaddedText) {
    struct Case {
        const char* name;
        std::size_t n;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"three letters into a description", 20, "abc", "abc" + std::string(18, ' ')},
        {"empty text", 20, "", std::string(21, ' ')},
        {"exact width", 20, std::string(21, 'x'), std::string(21, 'x')},
        {"30 characters into the copyright", 27, "abcdefghijklmnopqrstuvwxyz0123",
         "abcdefghijklmnopqrstuvwxyz01"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> field(40, 0xEE);
        WritePaddedText(field, c.n, c.text);
        EXPECT_EQ(std::string(field.begin(), field.begin() + c.n + 1), c.expected) << c.name;
        EXPECT_EQ(field[c.n + 1], 0xEE) << c.name << ": wrote past the field";
    }
}

TEST(MemoryImage, ReadPaddedText) {
    struct Case {
        const char* name;
        std::string field;
        std::size_t n;
        std::string expected;
    };
    const Case cases[] = {
        {"word and blanks", "SONG" + std::string(24, ' '), 27, "SONG"},
        {"blanks between words stay", "a  b" + std::string(24, ' '), 27, "a  b"},
        {"only blanks", std::string(21, ' '), 20, ""},
        {"zero copyright keeps its zeros", std::string(28, '\0'), 27, std::string(28, '\0')},
        {"only trailing blanks go", std::string("x \0 ", 4) + std::string(17, ' '), 20,
         std::string("x \0", 3)},
        {"reads n + 1 bytes only", std::string(21, 'q') + "tail", 20, std::string(21, 'q')},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> field(c.field.begin(), c.field.end());
        EXPECT_EQ(ReadPaddedText(field, c.n), c.expected) << c.name;
    }
}

TEST(MemoryImage, TextFieldsRoundTripThroughTheImage) {
    MemoryImage image;
    InitImage(image);
    EXPECT_EQ(ReadPaddedText(CopyrightField(image), 27), std::string(28, '\0'));
    WritePaddedText(CopyrightField(image), 27, "(c) 2026");
    WritePaddedText(DescriptionField(image, 99), 20, "last");
    EXPECT_EQ(ReadPaddedText(CopyrightField(image), 27), "(c) 2026");
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 99), 20), "last");
    EXPECT_TRUE(HasMagic(image));  // the last description ends just before the magic
}

}  // namespace
}  // namespace sonabank
