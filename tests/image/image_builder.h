#pragma once

// Builds catalogues for the storage tests: packed fragments whose every data
// page carries its own page number, so a test can tell where a page came from.

#include <cstdint>
#include <string>
#include <vector>

#include "image/memory_image.h"

namespace sonabank::test {

// Writes the page number into the first two bytes of every data page and
// fills the rest of the page with its low byte.
void TagDataPages(MemoryImage& image);
// The page number a data page carries after TagDataPages.
int PageTag(const MemoryImage& image, int page);

// A fresh image with tagged pages and one fragment per length, packed from
// page 5, formats cycling 0, 1, 2 and descriptions "frag <slot>".
MemoryImage PackedImage(const std::vector<std::uint32_t>& lengths);
std::string DescriptionName(int slot);

std::vector<int> StartPages(const MemoryImage& image);  // up to the first start page 0

}  // namespace sonabank::test
