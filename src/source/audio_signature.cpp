#include "source/audio_signature.h"

#include <algorithm>
#include <string_view>

namespace sonabank {

namespace {

bool TagAt(std::span<const std::uint8_t> head, std::size_t offset, std::string_view tag) {
    return head.size() >= offset + tag.size() &&
           std::equal(tag.begin(), tag.end(), head.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

// An ID3v2 tag header: "ID3", a major version the tag family has (2 to 4), a
// revision below 0xFF and a size of four 7-bit bytes.
bool IsId3Tag(std::span<const std::uint8_t> head) {
    if (head.size() < 10 || !TagAt(head, 0, "ID3")) return false;
    if (head[3] < 2 || head[3] > 4 || head[4] == 0xFF) return false;
    return std::all_of(head.begin() + 6, head.begin() + 10,
                       [](std::uint8_t b) { return b < 0x80; });
}

// The length in bytes of the MPEG audio frame whose header starts at `p`, or 0
// when the four bytes are no valid header (free-format frames included: their
// length cannot be told from the header).
std::size_t MpegFrameLength(const std::uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
    const int version = (p[1] >> 3) & 3;  // 0: MPEG 2.5, 1: reserved, 2: MPEG 2, 3: MPEG 1
    const int layer = (p[1] >> 1) & 3;    // 1: III, 2: II, 3: I, 0: reserved
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return 0;
    }
    static constexpr int kBitrates[2][3][15] = {
        // MPEG 1: layers I, II, III
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        // MPEG 2 and 2.5
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int kRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int layerRow = 3 - layer;  // I, II, III
    const long bitrate = kBitrates[mpeg1 ? 0 : 1][layerRow][bitrateIndex] * 1000L;
    const int padding = (p[2] >> 1) & 1;
    if (layerRow == 0) return static_cast<std::size_t>((12 * bitrate / rate + padding) * 4);
    const long perFrame = (layerRow == 2 && !mpeg1) ? 72 : 144;
    return static_cast<std::size_t>(perFrame * bitrate / rate + padding);
}

// A bare MPEG stream has no signature of its own, only frame headers, and
// two bytes of RAW sound can look like one. Two frames in a row, the second
// where the first one's header says, are taken as a stream.
bool IsMpegStream(std::span<const std::uint8_t> head) {
    if (head.size() < 4) return false;
    const std::size_t first = MpegFrameLength(head.data());
    return first != 0 && head.size() >= first + 4 && MpegFrameLength(head.data() + first) != 0;
}

}  // namespace

std::optional<AudioKind> RecogniseAudio(std::span<const std::uint8_t> head) {
    if ((TagAt(head, 0, "RIFF") || TagAt(head, 0, "RIFX") || TagAt(head, 0, "RF64")) &&
        TagAt(head, 8, "WAVE")) {
        return AudioKind::Wav;
    }
    if (TagAt(head, 0, "FORM") && (TagAt(head, 8, "AIFF") || TagAt(head, 8, "AIFC"))) {
        return AudioKind::Aiff;
    }
    if (TagAt(head, 0, "fLaC")) return AudioKind::Flac;
    if (TagAt(head, 0, "OggS")) return AudioKind::Ogg;
    if (TagAt(head, 0, ".snd")) return AudioKind::Au;
    if (TagAt(head, 0, "caff")) return AudioKind::Caf;
    if (IsId3Tag(head) || IsMpegStream(head)) return AudioKind::Mpeg;
    return std::nullopt;
}

}  // namespace sonabank
