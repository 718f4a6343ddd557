#include "codec/fragment_import.h"

#include <algorithm>
#include <memory>

#include "codec/fragment_encoder.h"
#include "image/fragment_placing.h"
#include "image/fragment_storage.h"
#include "io/byte_stream.h"

namespace sonabank {

namespace {

// Samples asked from the source at a time.
constexpr std::size_t kBlockSamples = 16384;

// What the data area of a fresh image holds.
constexpr std::uint8_t kBlank = 0xFF;

bool BlankPages(const MemoryImage& image, const Placement& placement) {
    const auto pages = image.bytes().subspan(
        static_cast<std::size_t>(placement.startPage) * PAGE_SIZE, placement.length);
    return std::ranges::all_of(pages, [](std::uint8_t b) { return b == kBlank; });
}

}  // namespace

ImportOutcome ImportFragment(MemoryImage& image, SampleSource& source, SoundFormat format,
                             std::optional<int> replacedRow,
                             std::optional<std::string_view> description, AdpcmState& adpcm,
                             QualityMeter* meter) {
    std::optional<Placement> placement;
    std::uint64_t wanted = UINT64_MAX;
    if (const std::optional<std::uint64_t> known = source.KnownLength()) {
        placement =
            PlanPlacement(image, replacedRow, FragmentEncoder::StoredLength(format, *known));
        if (placement->refusal) return {placement->refusal};
        wanted = FragmentEncoder::SamplesOf(format, placement->length);
    }

    // A read error or a refusal must leave the image as it was. Pages that a
    // new fragment of known length takes behind the others are written in
    // place while they hold what a fresh image has there (0xFF): undoing a
    // failure is filling them again. Anything else is encoded aside first,
    // into a staging area taken once and written only by the encoder: at its
    // final size for a known length, else as large as the room and one block
    // (pages the encoder never reaches are never touched); a source of
    // unknown length is given up on as soon as it outgrows the room.
    const auto room = static_cast<std::uint64_t>(std::max<std::int64_t>(Room(image), 0));
    std::unique_ptr<std::uint8_t[]> staging;
    std::uint8_t* target = nullptr;
    if (placement && !placement->replacing && BlankPages(image, *placement)) {
        target = image.data() + static_cast<std::size_t>(placement->startPage) * PAGE_SIZE;
    } else {
        staging = std::make_unique_for_overwrite<std::uint8_t[]>(
            static_cast<std::size_t>(placement ? placement->length : room + kBlockSamples));
        target = staging.get();
    }
    std::size_t stored = 0;
    FragmentEncoder encoder(format, adpcm);
    const auto block = std::make_unique_for_overwrite<std::int16_t[]>(kBlockSamples);
    const auto played = std::make_unique_for_overwrite<std::int16_t[]>(kBlockSamples);
    const bool measurePlayed = meter && format == SoundFormat::ADPCM_11025;
    try {
        for (std::uint64_t read = 0; read < wanted;) {
            const std::size_t asked =
                static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSamples, wanted - read));
            const std::span<std::int16_t> samples = std::span(block.get(), asked);
            const std::size_t got = source.Read(samples);
            if (got == 0) {
                // The file got shorter since its size was taken.
                if (placement) throw IoError(IO_READ_BEYOND_EOF);
                break;
            }
            read += got;
            stored += encoder.Encode(samples.first(got), target + stored,
                                     measurePlayed ? played.get() : nullptr);
            if (meter) {
                meter->Measure(samples.first(got),
                               std::span(played.get(), measurePlayed ? got : 0));
            }
            if (!placement && stored > room) return {Refusal::TooBig};
        }
        source.Close();
    } catch (...) {
        if (!staging) std::fill_n(target, stored, kBlank);
        throw;
    }

    if (!placement) {
        placement = PlanPlacement(image, replacedRow, stored);
        if (placement->refusal) return {placement->refusal};
    }
    Place(image, *placement, format, description, std::span(target, stored));
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
