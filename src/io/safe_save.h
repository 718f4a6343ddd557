#pragma once

// Replacing a file's whole content so that, whatever happens on the way
// (a full disk, a crash, a power loss), the file is either the old one or
// the new one, and nobody else ever sees the new content half written.

#include <cstdint>
#include <span>
#include <string>

namespace sonabank {

// Writes `bytes` as the content of `path` (through a symbolic link: of the
// file it names). An existing file keeps its owner, group, mode and every
// hard link. False when the file cannot be created; IoError for a failure
// while writing, after which the old file is whole, or (when it had to be
// written in place) the new content is kept in a copy the error names.
bool ReplaceContentSafely(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace sonabank
