#pragma once

// The manifest from which `build` makes a sound image: one fragment per line,
// TAB-separated sound file path, format, width (for RAW files) and
// description.

#include <string>
#include <string_view>
#include <vector>

#include "source/raw_file_source.h"
#include "image/memory_image.h"

namespace sonabank::cli {

// A path of this form is text to speak instead of a file.
inline constexpr std::string_view kSayPrefix = "say:";

struct ManifestEntry {
    int line = 0;         // 1-based, for messages
    std::string rawPath;  // the sound file as written, relative to the manifest's folder
    SoundFormat format = SoundFormat::PCM_22050;
    SourceWidth width = SourceWidth::Bits8;
    std::string description;  // UTF-8; empty gives the file name
};

// The manifest file's text. Refuses anything but a regular file, and one
// larger than a manifest can need.
std::string ReadManifest(const std::string& path);

// Blank lines and lines starting with '#' are skipped; the description may
// be left out. Throws a usage error "NAME:LINE: ..." for a malformed line.
std::vector<ManifestEntry> ParseManifest(std::string_view text, std::string_view name);

}  // namespace sonabank::cli
