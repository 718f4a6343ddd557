#pragma once

// Checks a catalogue against the invariants this program keeps. Images made
// elsewhere, or by hand, may break them; the storage operations then work on
// a directory they cannot trust.

#include <cstdint>
#include <string>
#include <vector>

#include "image/memory_image.h"

namespace sonabank {

enum class CatalogueFault {
    WrongMagic,        // bytes 2628 to 2632 are not "*FDA*"
    EntryBehindEnd,    // a non-zero entry at or behind the first empty slot
    NotPacked,         // a listed fragment does not start where the one before ends
    DataOutsideImage,  // a listed fragment's data reaches past the last page
    UnknownFormat,     // a listed fragment has format code 3
};

struct CatalogueProblem {
    CatalogueFault fault = CatalogueFault::WrongMagic;
    int slot = -1;               // the slot concerned; -1 for the magic
    std::uint64_t found = 0;     // NotPacked: start page; DataOutsideImage: end offset;
                                 // EntryBehindEnd: the first empty slot
    std::uint64_t expected = 0;  // NotPacked: start page; DataOutsideImage: IMAGE_SIZE

    bool operator==(const CatalogueProblem&) const = default;
};

// Every broken invariant, the magic first, then by slot. Reads only inside
// the image, whatever the directory holds.
std::vector<CatalogueProblem> CheckCatalogue(const MemoryImage& image);

// One line of text naming the problem, e.g. "slot 2: starts at page 9,
// expected page 8".
std::string DescribeProblem(const CatalogueProblem& problem);

}  // namespace sonabank
