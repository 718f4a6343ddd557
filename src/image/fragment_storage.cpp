#include "image/fragment_storage.h"

#include <algorithm>
#include <cstring>

#include "image/fragment_list.h"

namespace sonabank {

namespace {

constexpr std::int64_t FIRST_DATA_PAGE = HEADER_PAGES;
constexpr std::int64_t LAST_PAGE = PAGE_COUNT - 1;
constexpr std::int64_t START_PAGE_RANGE = 0x4000;
constexpr std::uint16_t FORMAT_BITS = 0xC000;
constexpr std::uint16_t START_PAGE_BITS = 0x3FFF;

// Start pages are trusted only as far as they describe a span inside the data
// area in slot order. Anything else comes from a foreign or damaged directory,
// and the operations then leave the data where it is rather than guess.
bool SpanInOrder(std::int64_t start, std::int64_t next) {
    return start >= FIRST_DATA_PAGE && next >= start;
}

// Moves everything from page `from` to the end of the image so that it starts
// at page `to`. Moving up drops what would pass the end of the image; moving
// down leaves the vacated pages at the end as they were. A move that would
// start past the last page or touch the catalogue pages does nothing.
void MovePagesToEnd(MemoryImage& image, std::int64_t from, std::int64_t to) {
    if (from == to) return;
    const std::int64_t low = std::min(from, to);
    const std::int64_t high = std::max(from, to);
    if (low < FIRST_DATA_PAGE || high > LAST_PAGE) return;
    const std::size_t count = IMAGE_SIZE - static_cast<std::size_t>(high) * PAGE_SIZE;
    std::memmove(image.data() + static_cast<std::size_t>(to) * PAGE_SIZE,
                 image.data() + static_cast<std::size_t>(from) * PAGE_SIZE, count);
}

// Lowers the start page in `word` by `distance` pages. Only the start page
// field changes, so a foreign directory cannot have its format bits borrowed
// from; in a well-formed image the result equals subtracting from the word.
std::uint16_t Renumbered(std::uint16_t word, std::int64_t distance) {
    std::int64_t start = ((word & START_PAGE_BITS) - distance) % START_PAGE_RANGE;
    if (start < 0) start += START_PAGE_RANGE;
    return static_cast<std::uint16_t>((word & FORMAT_BITS) | start);
}

}  // namespace

std::uint64_t FirstFreePage(const MemoryImage& image) {
    return HEADER_PAGES + UsedBytes(image) / PAGE_SIZE;
}

std::int64_t Room(const MemoryImage& image) {
    return static_cast<std::int64_t>(DATA_CAPACITY) - static_cast<std::int64_t>(UsedBytes(image));
}

void ResizeFragment(MemoryImage& image, int row, std::uint32_t newLength) {
    // Row 100 has no slot behind it.
    if (row < 1 || row >= MAX_FRAGMENTS) return;
    const std::int64_t start = StartPage(image, row - 1);
    const std::int64_t next = StartPage(image, row);
    if (next == 0 || !SpanInOrder(start, next)) return;

    const std::int64_t distance = (next - start) - pagesOf(newLength);
    MovePagesToEnd(image, next, next - distance);
    for (int slot = row; slot < MAX_FRAGMENTS && StartPage(image, slot) != 0; ++slot) {
        SetEntryWord(image, slot, Renumbered(EntryWord(image, slot), distance));
    }
}

void DeleteFragment(MemoryImage& image, int row) {
    if (row < 1 || row > MAX_FRAGMENTS) return;
    if (row == MAX_FRAGMENTS) {
        ClearEntry(image, MAX_FRAGMENTS - 1);
        return;
    }
    const std::int64_t start = StartPage(image, row - 1);
    const std::int64_t next = StartPage(image, row);
    if (next == 0) {
        ClearEntry(image, row - 1);
        return;
    }

    // Out of order the deleted span has no meaning: the entries still close
    // up, but no data moves and no start page changes.
    const std::int64_t distance = SpanInOrder(start, next) ? next - start : 0;
    MovePagesToEnd(image, next, next - distance);

    int lastCopied = MAX_FRAGMENTS - 1;
    for (int slot = row; slot < MAX_FRAGMENTS; ++slot) {
        if (StartPage(image, slot) == 0) {
            lastCopied = slot - 1;
            break;
        }
        std::ranges::copy(DescriptionField(image, slot), DescriptionField(image, slot - 1).begin());
        std::memcpy(image.data() + (slot - 1) * ENTRY_SIZE, image.data() + slot * ENTRY_SIZE,
                    ENTRY_SIZE);
        SetEntryWord(image, slot - 1, Renumbered(EntryWord(image, slot - 1), distance));
    }
    // The description of that slot keeps the copy it gave away; only the
    // entry marks the slot empty.
    ClearEntry(image, lastCopied);
}

}  // namespace sonabank
