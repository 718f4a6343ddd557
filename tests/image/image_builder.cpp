#include "image_builder.h"

#include <cstring>

namespace sonabank::test {

void TagDataPages(MemoryImage& image) {
    for (std::size_t page = HEADER_PAGES; page < PAGE_COUNT; ++page) {
        std::uint8_t* bytes = image.data() + page * PAGE_SIZE;
        std::memset(bytes, static_cast<int>(page & 0xFF), PAGE_SIZE);
        bytes[0] = static_cast<std::uint8_t>(page & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(page >> 8);
    }
}

int PageTag(const MemoryImage& image, int page) {
    const std::uint8_t* bytes = image.data() + static_cast<std::size_t>(page) * PAGE_SIZE;
    return bytes[0] | (bytes[1] << 8);
}

std::string DescriptionName(int slot) {
    return "frag " + std::to_string(slot);
}

MemoryImage PackedImage(const std::vector<std::uint32_t>& lengths) {
    MemoryImage image;
    InitImage(image);
    TagDataPages(image);
    std::uint32_t page = HEADER_PAGES;
    for (std::size_t slot = 0; slot < lengths.size(); ++slot) {
        const int s = static_cast<int>(slot);
        SetEntryWord(image, s, static_cast<std::uint16_t>(page));
        SetFragmentFormat(image, s + 1, s % 3);
        SetFragmentLength(image, s, lengths[slot]);
        WritePaddedText(DescriptionField(image, s), DESCRIPTION_WIDTH - 1, DescriptionName(s));
        page += pagesOf(lengths[slot]);
    }
    return image;
}

std::vector<int> StartPages(const MemoryImage& image) {
    std::vector<int> pages;
    for (int slot = 0; slot < MAX_FRAGMENTS && StartPage(image, slot) != 0; ++slot) {
        pages.push_back(StartPage(image, slot));
    }
    return pages;
}

}  // namespace sonabank::test
