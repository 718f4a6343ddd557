#pragma once

// Writing a fragment back to a headerless 8-bit RAW file.

#include <optional>
#include <string>

#include "codec/codec_workspace.h"
#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

// The description cut at its trailing blanks plus " (PCM 22050 Hz)" and the
// like (nothing for code 3), in UTF-8.
std::string SuggestedExportName(const MemoryImage& image, int row);

// IsProjectFile when `target` is the project file `projectPath` (also through
// a symbolic or hard link): an export must never overwrite the image.
std::optional<Refusal> ExportTargetRefusal(const std::string& projectPath,
                                           const std::string& target);

// Writes the fragment's samples to `path` as WriteFragmentSamples does:
// CannotCreate when the file cannot be created, IoError on a failed write or
// close.
std::optional<Refusal> ExportRaw(const MemoryImage& image, int row, const std::string& path,
                                 CodecWorkspace& workspace);

}  // namespace sonabank
