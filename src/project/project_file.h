#pragma once

// Project files: the memory image byte for byte.

#include <optional>
#include <string>
#include <string_view>

#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

// Reads the project at `path` over `image`: CannotOpen, WrongFormat, or
// IoError for a short file. The image changes only when the whole read
// succeeded; the file is closed on every path.
std::optional<Refusal> OpenProject(const std::string& path, MemoryImage& image);

// Writes `copyright` (UTF-8) into the image's copyright field and the whole
// image to `path`, through a temporary file in the same folder that is synced
// and renamed over the target. CannotCreate for a read-only target or one that
// cannot be created; IoError for a failure while writing. On any failure the
// image and the previous file are as they were and no temporary file is left.
std::optional<Refusal> SaveProject(const std::string& path, MemoryImage& image,
                                   std::string_view copyright);

}  // namespace sonabank
