#pragma once

// The last step of storing a fragment: checking that its stored bytes fit and
// writing its entry, description and pages, all or nothing.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

// Where a fragment of a known stored length goes, or why it does not.
struct Placement {
    std::optional<Refusal> refusal;
    int row = 0;                   // the grid row of the target slot
    std::optional<int> replacing;  // the row of the fragment it replaces
    std::int64_t startPage = 0;
    std::uint32_t length = 0;
};

// Checks in this order: NoSoundData for a length of 0 (it would end the
// catalogue at the slot), TooBig when the length exceeds the room (a replaced
// fragment still counts as used), NoRoom when an addition finds no empty
// slot, TooBig when the pages, or the fragments moved behind a replaced one,
// would leave the data area (only a foreign directory gets there). A new
// fragment goes into the first empty slot at the first free page; a
// replacement keeps the replaced fragment's slot and start page.
Placement PlanPlacement(const MemoryImage& image, std::optional<int> replacedRow,
                        std::uint64_t length);

// Moves the followers of a replaced fragment, writes the entry (start page,
// format, length), the description (code page 1251, blank padded, cut after
// 21 characters; none: the slot's stored bytes stay) and the pages: the
// length's bytes from `stored` (which may be those pages already), then zeros
// to the end of the last page.
void Place(MemoryImage& image, const Placement& placement, SoundFormat format,
           std::optional<std::string_view> description, std::span<const std::uint8_t> stored);

}  // namespace sonabank
