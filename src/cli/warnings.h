#pragma once

// Warnings on stderr for commands that succeed but could not do exactly what
// they were given.

#include <cstddef>
#include <ostream>
#include <string_view>

#include "image/memory_image.h"
#include "project/project.h"

namespace sonabank::cli {

// Says what a command put into a field of `width` bytes that could not take
// the text as given, e.g. `warning: the copyright was stored as "..." (cut to
// 28 characters)`; nothing when it could or stored no text. `what` starts the
// sentence.
void WarnIfAltered(std::ostream& err, std::string_view what, const Outcome& outcome,
                   std::size_t width);

// Says so when export or wav wrote fewer than the fragment's bytes because a
// foreign catalogue places its pages beyond the image.
void WarnIfClipped(std::ostream& err, const MemoryImage& image, int row);

}  // namespace sonabank::cli
