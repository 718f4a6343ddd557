#include "image/catalogue_check.h"

#include <algorithm>
#include <string_view>

namespace sonabank {

namespace {

bool EntryIsZero(const MemoryImage& image, int slot) {
    const auto* entry = image.data() + static_cast<std::size_t>(slot) * ENTRY_SIZE;
    return std::all_of(entry, entry + ENTRY_SIZE, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::vector<CatalogueProblem> CheckCatalogue(const MemoryImage& image) {
    std::vector<CatalogueProblem> problems;
    if (!HasMagic(image)) problems.push_back({CatalogueFault::WrongMagic, -1, 0, 0});

    // The list ends at the first slot of length 0, exactly as the grid reads it.
    int slot = 0;
    std::uint64_t expectedStart = HEADER_PAGES;
    for (; slot < MAX_FRAGMENTS && FragmentLength(image, slot) != 0; ++slot) {
        const std::uint64_t start = static_cast<std::uint64_t>(StartPage(image, slot));
        const std::uint64_t length = FragmentLength(image, slot);
        if (start != expectedStart) {
            problems.push_back({CatalogueFault::NotPacked, slot, start, expectedStart});
        }
        const std::uint64_t end = start * PAGE_SIZE + length;
        if (end > IMAGE_SIZE) {
            problems.push_back({CatalogueFault::DataOutsideImage, slot, end, IMAGE_SIZE});
        }
        if (GetFragmentFormat(image, slot + 1) == FORMAT_CODE_UNKNOWN) {
            problems.push_back({CatalogueFault::UnknownFormat, slot, 0, 0});
        }
        expectedStart = start + pagesOf(length);
    }

    // Entries here are hidden from the list, yet moving and deleting
    // fragments still treats any with a start page as a fragment.
    const int firstEmpty = slot;
    for (; slot < MAX_FRAGMENTS; ++slot) {
        if (!EntryIsZero(image, slot)) {
            problems.push_back(
                {CatalogueFault::EntryBehindEnd, slot, static_cast<std::uint64_t>(firstEmpty), 0});
        }
    }
    return problems;
}

std::string DescribeProblem(const CatalogueProblem& problem) {
    const std::string slot = "slot " + std::to_string(problem.slot) + ": ";
    switch (problem.fault) {
        case CatalogueFault::WrongMagic:
            return "magic: bytes 2628 to 2632 are not \"" + std::string(MAGIC) + "\"";
        case CatalogueFault::EntryBehindEnd:
            return slot + "entry not zero at or behind the first empty slot " +
                   std::to_string(problem.found);
        case CatalogueFault::NotPacked:
            return slot + "starts at page " + std::to_string(problem.found) + ", expected page " +
                   std::to_string(problem.expected);
        case CatalogueFault::DataOutsideImage:
            return slot + "data ends at byte " + std::to_string(problem.found) +
                   ", past the end of the image at byte " + std::to_string(problem.expected);
        case CatalogueFault::UnknownFormat:
            return slot + "format code 3";
    }
    return slot + "unknown problem";
}

}  // namespace sonabank
