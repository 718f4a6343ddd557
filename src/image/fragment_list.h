#pragma once

// Read-only views of the catalogue: the fragment rows the grid shows and the
// memory usage the status bar shows.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/memory_image.h"

namespace sonabank {

// Display name of a format code, or nullptr for code 3.
const char* FormatName(int code);

struct FragmentRow {
    int row = 0;                 // grid row, 1..100
    std::string description;     // code page 1251 bytes up to the first zero, blanks kept
    std::optional<std::string> formatName;  // none for code 3: the cell keeps its old text
};

struct FragmentList {
    std::vector<FragmentRow> rows;  // one per listed fragment
    int firstEmptyRow = 1;          // 1 for an empty image, 101 when all slots are used
    int count() const { return firstEmptyRow - 1; }
};

FragmentList ListFragments(const MemoryImage& image);

// Sum of pagesOf(length) * 528 over all 100 slots. 64-bit: foreign
// directories may hold lengths whose sum exceeds the data area.
std::uint64_t UsedBytes(const MemoryImage& image);
// UsedBytes * 100 / DATA_CAPACITY, rounded down.
std::uint64_t UsagePercent(const MemoryImage& image);
// "Занято памяти: N%" in UTF-8.
std::string UsageText(std::uint64_t percent);

}  // namespace sonabank
