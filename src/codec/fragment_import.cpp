#include "codec/fragment_import.h"

#include <algorithm>
#include <vector>

#include "codec/fragment_encoder.h"
#include "image/fragment_placing.h"
#include "image/fragment_storage.h"
#include "io/byte_stream.h"

namespace sonabank {

namespace {

// Samples asked from the source at a time.
constexpr std::size_t kBlockSamples = 16384;

}  // namespace

ImportOutcome ImportFragment(MemoryImage& image, SampleSource& source, SoundFormat format,
                             std::optional<int> replacedRow,
                             std::optional<std::string_view> description, AdpcmState& adpcm) {
    std::optional<Placement> placement;
    std::uint64_t wanted = UINT64_MAX;
    if (const std::optional<std::uint64_t> known = source.KnownLength()) {
        placement =
            PlanPlacement(image, replacedRow, FragmentEncoder::StoredLength(format, *known));
        if (placement->refusal) return {placement->refusal};
        wanted = FragmentEncoder::SamplesOf(format, placement->length);
    }

    // Encoded aside first, so that a read error or a refusal leaves the image
    // as it was. A source of unknown length is given up on as soon as it
    // outgrows the room.
    const auto room = static_cast<std::uint64_t>(std::max<std::int64_t>(Room(image), 0));
    FragmentEncoder encoder(format, adpcm);
    std::vector<std::int16_t> block(kBlockSamples);
    std::vector<std::uint8_t> stored;
    if (placement) stored.reserve(placement->length);
    for (std::uint64_t read = 0; read < wanted;) {
        const std::size_t asked =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), wanted - read));
        const std::size_t got = source.Read(std::span(block).first(asked));
        if (got == 0) {
            // The file got shorter since its size was taken.
            if (placement) throw IoError(IO_READ_BEYOND_EOF);
            break;
        }
        read += got;
        const std::size_t before = stored.size();
        stored.resize(before + got);
        stored.resize(before + encoder.Encode(std::span(block).first(got), stored.data() + before));
        if (!placement && stored.size() > room) return {Refusal::TooBig};
    }
    source.Close();

    if (!placement) {
        placement = PlanPlacement(image, replacedRow, stored.size());
        if (placement->refusal) return {placement->refusal};
    }
    Place(image, *placement, format, description, stored);
    return {std::nullopt, placement->row};
}

std::string TrimDescription(std::string_view text) {
    const auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && isTrimmed(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string ShortFileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace sonabank
