#pragma once

// Project files: the memory image byte for byte.

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

// Editing needs a file the program may write; inspecting only reads it, so
// an image on a read-only medium can still be looked at.
enum class ProjectAccess { Edit, Inspect };

// Reads the project at `path` into a new image: CannotOpen (also for
// anything but a regular file), WrongFormat, or IoError for a short file. The
// file is closed on every path.
std::variant<MemoryImage, Refusal> ReadProject(const std::string& path,
                                               ProjectAccess access = ProjectAccess::Edit);

// ReadProject over `image`: the image changes only when the whole read
// succeeded.
std::optional<Refusal> OpenProject(const std::string& path, MemoryImage& image,
                                   ProjectAccess access = ProjectAccess::Edit);

// Why OpenProject refused `path` with CannotOpen, in a few English words.
std::string CannotOpenCause(const std::string& path, ProjectAccess access);

// Why a file could not be created at `path` for writing, in a few English
// words; asks the file system without creating anything.
std::string CannotCreateCause(const std::string& path);

// Writes `copyright` (UTF-8) into the image's copyright field and saves the
// image as SaveProjectAsIs does. On any failure the image is as it was.
std::optional<Refusal> SaveProject(const std::string& path, MemoryImage& image,
                                   std::string_view copyright);

// Writes the image byte for byte to `path` (see ReplaceContentSafely):
// CannotCreate for a read-only target or one that cannot be created; IoError
// for a failure while writing.
std::optional<Refusal> SaveProjectAsIs(const std::string& path, const MemoryImage& image);

}  // namespace sonabank
