#pragma once

// Rules of the fragment grid and the fragment dialog that have nothing to do
// with widgets, so that the window and the command-line tool count alike.

#include <optional>
#include <string>

#include "image/fragment_list.h"
#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

// Rows of the grid, header included: the header plus one per fragment, or 2
// for an empty image (one blank row numbered 0).
int GridRowCount(const FragmentList& list);

// The Add button refuses once the grid has 100 rows, that is with 99
// fragments: Add never fills the 100th slot.
std::optional<Refusal> AddButtonRefusal(int gridRowCount);

// The description as the Change dialog prefills it (and the list prints it):
// the slot's field up to its first zero byte, trailing blanks cut, in UTF-8.
std::string ChangePrefill(const MemoryImage& image, int row);

// The copyright box's text after a rebuild: the stored field with its
// trailing blanks cut, ended at its first zero byte as a text box ends it, in
// UTF-8. A fresh image's all-zero field gives an empty text.
std::string CopyrightBoxText(const MemoryImage& image);

}  // namespace sonabank
