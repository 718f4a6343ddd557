#include "support/tone_image.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "project/project.h"
#include "support/temp_dir.h"

namespace sonabank::test {

namespace {

// Loud enough to stand far above the recording's silence threshold after
// the 8-bit round trip, with headroom against clipping.
constexpr double AMPLITUDE = 25000;

std::vector<std::uint8_t> SineRaw16(const Tone& tone) {
    const double rate = tone.format == SoundFormat::PCM_22050 ? 22050 : 11025;
    const auto count = static_cast<std::size_t>(tone.seconds * rate);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto s = static_cast<std::int16_t>(
            std::lround(AMPLITUDE * std::sin(2 * std::numbers::pi * tone.frequency * i / rate)));
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return bytes;
}

}  // namespace

MemoryImage MakeToneImage(const std::vector<Tone>& tones) {
    Project project;
    TempDir dir;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const std::string path = dir.file("tone" + std::to_string(i) + ".raw");
        WriteFile(path, SineRaw16(tones[i]));
        const RawFragment fragment{path, SourceWidth::Bits16, tones[i].format,
                                   "tone " + std::to_string(i + 1)};
        if (!project.Add(fragment).ok()) throw std::runtime_error("cannot import " + path);
    }
    return project.image();
}

}  // namespace sonabank::test
