#include "image/fragment_placing.h"

#include <algorithm>
#include <stdexcept>

#include "image/fragment_list.h"
#include "image/fragment_storage.h"

namespace sonabank {

namespace {

// Whether the pages the fragment of `row` will occupy, and for a replacement
// the fragments ResizeFragment moves behind it, all lie in the data area.
// Always true for a directory that keeps the catalogue's invariants and a
// length that passed the room check; a foreign directory may not.
bool StaysInDataArea(const MemoryImage& image, bool replacing, int row, std::int64_t startPage,
                     std::uint32_t length) {
    const auto inside = [](std::int64_t start, std::uint32_t bytes) {
        return start >= static_cast<std::int64_t>(HEADER_PAGES) &&
               start + pagesOf(bytes) <= static_cast<std::int64_t>(PAGE_COUNT);
    };
    if (!inside(startPage, length)) return false;
    if (!replacing || row == MAX_FRAGMENTS) return true;
    const std::int64_t next = StartPage(image, row);
    if (next == 0) return true;
    // ResizeFragment moves every following start page by this many pages
    // (down when positive), stopping at the first slot with start page 0.
    const std::int64_t down = (next - startPage) - pagesOf(length);
    for (int slot = row; slot < MAX_FRAGMENTS; ++slot) {
        const std::int64_t start = StartPage(image, slot);
        if (start == 0) break;
        if (!inside(start - down, FragmentLength(image, slot))) return false;
    }
    return true;
}

Placement Refused(Refusal refusal) {
    Placement placement;
    placement.refusal = refusal;
    return placement;
}

}  // namespace

Placement PlanPlacement(const MemoryImage& image, std::optional<int> replacedRow,
                        std::uint64_t length) {
    if (replacedRow && (*replacedRow < 1 || *replacedRow > MAX_FRAGMENTS)) {
        throw std::out_of_range("PlanPlacement: row outside 1..100");
    }
    if (length == 0) return Refused(Refusal::NoSoundData);
    if (length > static_cast<std::uint64_t>(std::max<std::int64_t>(Room(image), 0))) {
        return Refused(Refusal::TooBig);
    }

    Placement placement;
    placement.length = static_cast<std::uint32_t>(length);  // at most DATA_CAPACITY
    placement.replacing = replacedRow;
    if (replacedRow) {
        placement.row = *replacedRow;
        placement.startPage = StartPage(image, *replacedRow - 1);
    } else {
        placement.row = ListFragments(image).firstEmptyRow;
        if (placement.row > MAX_FRAGMENTS) return Refused(Refusal::NoRoom);
        placement.startPage = static_cast<std::int64_t>(FirstFreePage(image));
    }
    if (!StaysInDataArea(image, replacedRow.has_value(), placement.row, placement.startPage,
                         placement.length)) {
        return Refused(Refusal::TooBig);
    }
    return placement;
}

void Place(MemoryImage& image, const Placement& placement, SoundFormat format,
           std::optional<std::string_view> description, std::span<const std::uint8_t> stored) {
    if (placement.refusal || stored.size() < placement.length) {
        throw std::invalid_argument("Place: no placement or too few stored bytes");
    }
    const int slot = placement.row - 1;
    if (placement.replacing) ResizeFragment(image, placement.row, placement.length);
    SetEntryWord(image, slot, static_cast<std::uint16_t>(placement.startPage));
    SetFragmentFormat(image, placement.row, static_cast<int>(format));
    SetFragmentLength(image, slot, placement.length);
    if (description)
        WritePaddedText(DescriptionField(image, slot), DESCRIPTION_WIDTH - 1, *description);

    const std::size_t pageBytes = std::size_t{pagesOf(placement.length)} * PAGE_SIZE;
    std::uint8_t* pages = image.data() + static_cast<std::size_t>(placement.startPage) * PAGE_SIZE;
    // The import may have encoded straight into the pages.
    if (stored.data() != pages) std::copy_n(stored.data(), placement.length, pages);
    std::fill(pages + placement.length, pages + pageBytes, std::uint8_t{0});
}

}  // namespace sonabank
