#include "image/memory_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace sonabank {

namespace {

constexpr std::uint16_t START_PAGE_MASK = 0x3FFF;
constexpr std::uint16_t FORMAT_SHIFT = 14;

// Slots come from row numbers the callers hold; one bad number must not reach
// past the directory.
std::size_t EntryOffset(int slot) {
    if (slot < 0 || slot >= MAX_FRAGMENTS) throw std::out_of_range("directory slot out of range");
    return static_cast<std::size_t>(slot) * ENTRY_SIZE;
}

std::size_t DescriptionOffset(int slot) {
    if (slot < 0 || slot >= MAX_FRAGMENTS) throw std::out_of_range("description slot out of range");
    return DESCRIPTION_OFFSET + static_cast<std::size_t>(slot) * DESCRIPTION_WIDTH;
}

std::uint16_t ReadWord(const MemoryImage& image, std::size_t offset) {
    return static_cast<std::uint16_t>(image[offset] | (image[offset + 1] << 8));
}

void WriteWord(MemoryImage& image, std::size_t offset, std::uint16_t word) {
    image[offset] = static_cast<std::uint8_t>(word & 0xFF);
    image[offset + 1] = static_cast<std::uint8_t>(word >> 8);
}

}  // namespace

void InitImage(MemoryImage& image) {
    std::uint8_t* bytes = image.data();
    std::memset(bytes, 0, IMAGE_SIZE);
    std::memset(bytes + DATA_OFFSET, 0xFF, DATA_CAPACITY);
    std::memset(bytes + DESCRIPTION_OFFSET, ' ', MAX_FRAGMENTS * DESCRIPTION_WIDTH);
    std::memcpy(bytes + MAGIC_OFFSET, MAGIC.data(), MAGIC.size());
}

std::uint16_t EntryWord(const MemoryImage& image, int slot) {
    return ReadWord(image, EntryOffset(slot));
}

void SetEntryWord(MemoryImage& image, int slot, std::uint16_t word) {
    WriteWord(image, EntryOffset(slot), word);
}

int StartPage(const MemoryImage& image, int slot) {
    return EntryWord(image, slot) & START_PAGE_MASK;
}

std::uint32_t FragmentLength(const MemoryImage& image, int slot) {
    const std::size_t offset = EntryOffset(slot);
    return (static_cast<std::uint32_t>(image[offset + 2]) << 16) | ReadWord(image, offset + 3);
}

void SetFragmentLength(MemoryImage& image, int slot, std::uint32_t length) {
    const std::size_t offset = EntryOffset(slot);
    image[offset + 2] = static_cast<std::uint8_t>((length >> 16) & 0xFF);
    WriteWord(image, offset + 3, static_cast<std::uint16_t>(length & 0xFFFF));
}

void ClearEntry(MemoryImage& image, int slot) {
    std::memset(image.data() + EntryOffset(slot), 0, ENTRY_SIZE);
}

int GetFragmentFormat(const MemoryImage& image, int row) {
    return EntryWord(image, row - 1) >> FORMAT_SHIFT;
}

void SetFragmentFormat(MemoryImage& image, int row, int code) {
    const std::uint16_t word = EntryWord(image, row - 1);
    SetEntryWord(
        image, row - 1,
        static_cast<std::uint16_t>((word & START_PAGE_MASK) | ((code & 3) << FORMAT_SHIFT)));
}

std::span<std::uint8_t> CopyrightField(MemoryImage& image) {
    return image.bytes().subspan(COPYRIGHT_OFFSET, COPYRIGHT_WIDTH);
}

std::span<const std::uint8_t> CopyrightField(const MemoryImage& image) {
    return image.bytes().subspan(COPYRIGHT_OFFSET, COPYRIGHT_WIDTH);
}

std::span<std::uint8_t> DescriptionField(MemoryImage& image, int slot) {
    return image.bytes().subspan(DescriptionOffset(slot), DESCRIPTION_WIDTH);
}

std::span<const std::uint8_t> DescriptionField(const MemoryImage& image, int slot) {
    return image.bytes().subspan(DescriptionOffset(slot), DESCRIPTION_WIDTH);
}

std::string ReadPaddedText(std::span<const std::uint8_t> field, std::size_t n) {
    if (field.size() < n + 1) throw std::out_of_range("text field narrower than its width");
    std::string text(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n + 1));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void WritePaddedText(std::span<std::uint8_t> field, std::size_t n, std::string_view text) {
    if (field.size() < n + 1) throw std::out_of_range("text field narrower than its width");
    const std::size_t copied = std::min(text.size(), n + 1);
    std::memcpy(field.data(), text.data(), copied);
    std::memset(field.data() + copied, ' ', n + 1 - copied);
}

bool HasMagic(const MemoryImage& image) {
    return std::memcmp(image.data() + MAGIC_OFFSET, MAGIC.data(), MAGIC.size()) == 0;
}

}  // namespace sonabank
