#include "codec/raw_import.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

#include "codec/adpcm.h"
#include "image/codepage.h"
#include "image/fragment_storage.h"
#include "io/byte_stream.h"

namespace sonabank {

namespace {

// WritePaddedText's n for a description field of DESCRIPTION_WIDTH bytes.
constexpr std::size_t DESCRIPTION_LAST = DESCRIPTION_WIDTH - 1;

// The four ways a source becomes stored bytes; the two PCM rates convert alike.
enum class Conversion { Pcm8, Pcm16, Adpcm8, Adpcm16 };

Conversion ConversionFor(SourceWidth width, SoundFormat format) {
    const bool adpcm = format == SoundFormat::ADPCM_11025;
    if (width == SourceWidth::Bits8) return adpcm ? Conversion::Adpcm8 : Conversion::Pcm8;
    return adpcm ? Conversion::Adpcm16 : Conversion::Pcm16;
}

// Source bytes per stored byte.
std::size_t UnitOf(Conversion conversion) {
    switch (conversion) {
        case Conversion::Pcm8:
            return 1;
        case Conversion::Pcm16:
            return 2;
        case Conversion::Adpcm8:
            return 2;
        case Conversion::Adpcm16:
            return 4;
    }
    return 1;
}

// An 8-bit unsigned sample widened to 16 bits: 0 -> -32768, 128 -> 0, 255 -> 32512.
inline std::int16_t Widen8(std::uint8_t b) {
    return static_cast<std::int16_t>((b - 128) * 256);
}

inline std::int16_t Sample16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Turns the first count units of `block` into count stored bytes at `out`.
// ADPCM codes continue the shared encoder state, earlier sample in the high
// nibble.
void Convert(Conversion conversion, const std::uint8_t* block, std::size_t count,
             std::uint8_t* out) {
    switch (conversion) {
        case Conversion::Pcm8:
            std::memcpy(out, block, count);
            break;
        case Conversion::Pcm16:
            // The top 8 bits made unsigned; the low byte is dropped unrounded.
            for (std::size_t k = 0; k < count; ++k) out[k] = block[2 * k + 1] ^ 0x80u;
            break;
        case Conversion::Adpcm8:
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint8_t high = AdpcmEncode(Widen8(block[2 * k]));
                out[k] =
                    static_cast<std::uint8_t>(high << 4 | AdpcmEncode(Widen8(block[2 * k + 1])));
            }
            break;
        case Conversion::Adpcm16:
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint8_t high = AdpcmEncode(Sample16(block + 4 * k));
                out[k] =
                    static_cast<std::uint8_t>(high << 4 | AdpcmEncode(Sample16(block + 4 * k + 2)));
            }
            break;
    }
}

// Fills the block unless the file ends first; returns the bytes read.
std::size_t ReadBlock(ByteStream& stream, std::span<std::uint8_t> block) {
    std::size_t got = 0;
    while (got < block.size()) {
        const std::size_t n = stream.ReadSome(block.subspan(got));
        if (n == 0) break;
        got += n;
    }
    return got;
}

// Whether the pages the fragment of `row` will occupy, and in Change mode the
// fragments ResizeFragment moves behind it, all lie in the data area. Always
// true for a directory that keeps the catalogue's invariants and a length
// that passed the room check; a foreign directory may not.
bool StaysInDataArea(const MemoryImage& image, DialogMode mode, int row, std::int64_t startPage,
                     std::uint32_t length) {
    const auto inside = [](std::int64_t start, std::uint32_t bytes) {
        return start >= static_cast<std::int64_t>(HEADER_PAGES) &&
               start + pagesOf(bytes) <= static_cast<std::int64_t>(PAGE_COUNT);
    };
    if (!inside(startPage, length)) return false;
    if (mode == DialogMode::Add || row == MAX_FRAGMENTS) return true;
    const std::int64_t next = StartPage(image, row);
    if (next == 0) return true;
    // ResizeFragment moves every following start page by this many pages
    // (down when positive), stopping at the first slot with start page 0.
    const std::int64_t down = (next - startPage) - pagesOf(length);
    for (int slot = row; slot < MAX_FRAGMENTS; ++slot) {
        const std::int64_t start = StartPage(image, slot);
        if (start == 0) break;
        if (!inside(start - down, FragmentLength(image, slot))) return false;
    }
    return true;
}

ImportResult Refused(Refusal refusal, const ImportRequest& request) {
    return {refusal, request.targetRow};
}

}  // namespace

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

ImportResult ImportRaw(MemoryImage& image, const ImportRequest& request) {
    const bool changing = request.mode == DialogMode::Change;
    if (changing && (request.targetRow < 1 || request.targetRow > MAX_FRAGMENTS)) {
        throw std::out_of_range("ImportRaw: target row outside 1..100");
    }

    if (request.fileName.empty()) {
        if (!changing) return Refused(Refusal::NoFileName, request);
        WritePaddedText(DescriptionField(image, request.targetRow - 1), DESCRIPTION_LAST,
                        Utf8ToCp1251(TrimDescription(request.description)));
        return {std::nullopt, request.targetRow};
    }

    std::string description = TrimDescription(request.description);
    if (description.empty()) description = ShortFileName(request.fileName);
    description = Utf8ToCp1251(description);

    std::optional<ByteStream> stream = ByteStream::OpenExisting(request.fileName);
    if (!stream) return Refused(Refusal::CannotOpen, request);

    const Conversion conversion = ConversionFor(request.width, request.format);
    std::uint64_t stored = stream->Size();
    if (request.width == SourceWidth::Bits16) stored /= 2;
    if (request.format == SoundFormat::ADPCM_11025) stored /= 2;
    // A length of 0 would end the catalogue at this slot and hide the
    // fragments behind it.
    if (stored == 0) return Refused(Refusal::NoSoundData, request);
    if (static_cast<std::int64_t>(stored) > Room(image)) return Refused(Refusal::TooBig, request);
    const auto length = static_cast<std::uint32_t>(stored);  // at most DATA_CAPACITY

    int row = request.targetRow;
    std::int64_t startPage = 0;
    if (changing) {
        startPage = StartPage(image, row - 1);
    } else {
        // The first empty slot: the row behind the listed fragments.
        row = FragmentLength(image, 0) != 0 ? request.rowCount : 1;
        if (row > MAX_FRAGMENTS) return Refused(Refusal::NoRoom, request);
        if (row < 1) throw std::out_of_range("ImportRaw: row count below 1");
        startPage = static_cast<std::int64_t>(FirstFreePage(image));
    }
    if (!StaysInDataArea(image, request.mode, row, startPage, length)) {
        return Refused(Refusal::TooBig, request);
    }

    // The whole source is converted before the image changes, so a read
    // error leaves the image as it was. The staging pages start zeroed, which
    // gives the last page its zero tail.
    const std::size_t unit = UnitOf(conversion);
    std::vector<std::uint8_t> staging(std::size_t{pagesOf(length)} * PAGE_SIZE);
    std::array<std::uint8_t, 4 * PAGE_SIZE> block;
    const std::span<std::uint8_t> blockSpan(block.data(), unit * PAGE_SIZE);
    AdpcmReset();
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min(ReadBlock(*stream, blockSpan) / unit, length - done);
        // The file got shorter since its size was taken.
        if (n == 0) throw IoError(IO_READ_BEYOND_EOF);
        Convert(conversion, block.data(), n, staging.data() + done);
        done += n;
    }
    stream->Close();

    const int slot = row - 1;
    if (changing) ResizeFragment(image, row, length);
    SetEntryWord(image, slot, static_cast<std::uint16_t>(startPage));
    SetFragmentFormat(image, row, static_cast<int>(request.format));
    SetFragmentLength(image, slot, length);
    WritePaddedText(DescriptionField(image, slot), DESCRIPTION_LAST, description);
    std::memcpy(image.data() + static_cast<std::size_t>(startPage) * PAGE_SIZE, staging.data(),
                staging.size());
    return {std::nullopt, row};
}

}  // namespace sonabank
