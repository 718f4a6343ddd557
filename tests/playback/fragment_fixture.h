#pragma once

// Builds fragments straight into an image, bypassing the import, so that
// playback and export can be tried on any entry a foreign image may hold.

#include <cstdint>
#include <vector>

#include "codec/adpcm.h"
#include "image/memory_image.h"

namespace sonabank::test {

// Writes the entry of `slot` and fills the data bytes that lie inside the
// image with a pattern that differs from byte to byte.
inline void PlaceFragment(MemoryImage& image, int slot, int formatCode, int startPage,
                          std::uint32_t length) {
    SetEntryWord(image, slot, static_cast<std::uint16_t>(startPage));
    SetFragmentFormat(image, slot + 1, formatCode);
    SetFragmentLength(image, slot, length);
    const std::size_t start = static_cast<std::size_t>(startPage) * PAGE_SIZE;
    for (std::size_t i = 0; i < length && start + i < IMAGE_SIZE; ++i)
        image[start + i] = static_cast<std::uint8_t>((i * 37 + i / 251 + slot) & 0xFF);
}

inline std::vector<std::uint8_t> StoredBytes(const MemoryImage& image, std::size_t offset,
                                             std::size_t length) {
    return {image.data() + offset, image.data() + offset + length};
}

// Decodes one code at a time, high nibble first, from a reset state.
inline std::vector<std::uint8_t> DecodeNibbles(const std::vector<std::uint8_t>& stored) {
    std::vector<std::uint8_t> out;
    out.reserve(2 * stored.size());
    AdpcmState state;
    for (std::uint8_t byte : stored) {
        out.push_back(AdpcmDecode(state, byte >> 4));
        out.push_back(AdpcmDecode(state, byte & 0x0F));
    }
    return out;
}

}  // namespace sonabank::test
