#pragma once

// Storing sound as a fragment in three steps: a source yields samples, an
// encoder makes the stored bytes of the format, and placing checks the room
// and writes entry, description and pages.

#include <optional>
#include <string>
#include <string_view>

#include "codec/adpcm.h"
#include "codec/quality_meter.h"
#include "image/memory_image.h"
#include "image/refusal.h"
#include "source/sample_source.h"

namespace sonabank {

struct ImportOutcome {
    std::optional<Refusal> refusal;
    int row = 0;  // the grid row of the stored fragment
    bool ok() const { return !refusal; }
};

// Stores the samples of `source` in `format` as a new fragment behind the
// last one, or in place of the fragment of `replacedRow`, with `description`
// (code page 1251; none keeps the replaced fragment's description bytes). A
// source that knows its length is checked against the room before any
// sample is read, and only the samples the stored length needs are read
// (IoError when it ends before them); the samples of any other source are
// encoded first and checked after. All or nothing: after a refusal or an
// IoError the image is byte for byte as it was. A meter, when given,
// measures the samples stored.
ImportOutcome ImportFragment(MemoryImage& image, SampleSource& source, SoundFormat format,
                             std::optional<int> replacedRow,
                             std::optional<std::string_view> description, AdpcmState& adpcm,
                             QualityMeter* meter = nullptr);

// Removes characters of code 32 or less from both ends.
std::string TrimDescription(std::string_view text);

// The default description: the last component of the path.
std::string ShortFileName(std::string_view path);

}  // namespace sonabank
