#pragma once

// Placing, moving and removing fragment data in whole pages.

#include <cstdint>

#include "image/memory_image.h"

namespace sonabank {

// Page at which a new fragment goes: HEADER_PAGES + UsedBytes / PAGE_SIZE.
std::uint64_t FirstFreePage(const MemoryImage& image);
// Bytes left in the data area; negative when a foreign directory claims more.
std::int64_t Room(const MemoryImage& image);

// Moves the data behind grid row `row` so that it follows directly on the
// first pagesOf(newLength) pages of the row's span, and corrects the start
// pages behind it. The row's own entry, description and data are untouched.
void ResizeFragment(MemoryImage& image, int row, std::uint32_t newLength);

// Removes the fragment of grid row `row`, closing the gap in the data, the
// entries and the descriptions.
void DeleteFragment(MemoryImage& image, int row);

}  // namespace sonabank
