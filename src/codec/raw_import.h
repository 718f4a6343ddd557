#pragma once

// Storing a headerless RAW sound file in the image, as a new fragment or in
// place of an existing one, or rewriting a fragment's description alone.

#include <optional>
#include <string>
#include <string_view>

#include "image/memory_image.h"
#include "image/refusal.h"

namespace sonabank {

enum class SourceWidth { Bits8, Bits16 };
enum class DialogMode { Add, Change };

struct ImportRequest {
    std::string fileName;     // empty when none was given
    SourceWidth width = SourceWidth::Bits8;
    SoundFormat format = SoundFormat::PCM_22050;
    std::string description;  // UTF-8 text of the description box, untrimmed
    DialogMode mode = DialogMode::Add;
    int targetRow = 1;        // the grid's selected row (Change)
    int rowCount = 2;         // the grid's row count, header included (Add)
};

struct ImportResult {
    std::optional<Refusal> refusal;
    int selectedRow = 1;  // the row the grid selects afterwards
    bool ok() const { return !refusal; }
};

// All or nothing: on a refusal or an IoError the image is byte for byte as it
// was. The caller marks the project modified on success.
ImportResult ImportRaw(MemoryImage& image, const ImportRequest& request);

// Removes characters of code 32 or less from both ends.
std::string TrimDescription(std::string_view text);

// The default description: the last component of the path.
std::string ShortFileName(std::string_view path);

}  // namespace sonabank
