#include "playback/wav_render.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "fragment_fixture.h"

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using test::DecodeNibbles;
using test::PlaceFragment;
using test::StoredBytes;

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

TEST(WavRender, HeaderOfAPcm22050FragmentIsExact) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 2, 5, 22050);
    const auto wave = RenderWave(image, 1, workspace);

    const std::array<std::uint8_t, WAV_HEADER_SIZE> expected = {
        'R',  'I',  'F', 'F', 0x46, 0x56, 0x00, 0x00, 'W', 'A',  'V',  'E',  'f',  'm',  't',
        ' ',  16,   0,   0,   0,    1,    0,    1,    0,   0x22, 0x56, 0x00, 0x00, 0x22, 0x56,
        0x00, 0x00, 1,   0,   8,    0,    'd',  'a',  't', 'a',  0x22, 0x56, 0x00, 0x00};
    ASSERT_EQ(wave.size(), WAV_HEADER_SIZE + 22050);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wave.begin()));
}

struct WaveCase {
    const char* name;
    int format;
    std::uint32_t length;
    std::uint32_t rate;
    std::uint32_t dataLength;
    std::uint32_t durationMs;
};
void PrintTo(const WaveCase& c, std::ostream* os) {
    *os << c.name;
}

class WavRenderFormats : public testing::TestWithParam<WaveCase> {};

TEST_P(WavRenderFormats, SizesRateDurationAndSamples) {
    const WaveCase& c = GetParam();
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 1, 5, 1000);
    const int page = 5 + static_cast<int>(pagesOf(1000));
    PlaceFragment(image, 1, c.format, page, c.length);

    const auto wave = RenderWave(image, 2, workspace);
    ASSERT_EQ(wave.size(), WAV_HEADER_SIZE + c.dataLength);
    EXPECT_EQ(U32At(wave, 4), c.dataLength + 36);
    EXPECT_EQ(U32At(wave, 24), c.rate);
    EXPECT_EQ(U32At(wave, 28), c.rate);
    EXPECT_EQ(U32At(wave, 40), c.dataLength);
    EXPECT_EQ(PlaybackDurationMs(c.dataLength, c.rate), c.durationMs);

    const auto stored = StoredBytes(image, page * PAGE_SIZE, c.length);
    const auto expected = c.format == 0 ? DecodeNibbles(stored) : stored;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wave.begin() + WAV_HEADER_SIZE));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WavRenderFormats,
    testing::Values(WaveCase{"Pcm22050OneSecond", 2, 22050, 22050, 22050, 1001},
                    WaveCase{"Pcm11025OneSecond", 1, 11025, 11025, 11025, 1003},
                    WaveCase{"Adpcm1000Bytes", 0, 1000, 11025, 2000, 184},
                    WaveCase{"Code3PlaysAsPcm11025", 3, 500, 11025, 500, 48}),
    [](const auto& info) { return std::string(info.param.name); });

// (d + 36) * 1000 does not fit in 32 bits here. The decode buffer holds the
// largest fragment whole: a shorter one would cut the samples short.
TEST(WavRender, FragmentFillingTheDataArea) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 0, 5, static_cast<std::uint32_t>(DATA_CAPACITY));
    const auto wave = RenderWave(image, 1, workspace);
    ASSERT_EQ(wave.size(), WAV_HEADER_SIZE + 4'320'096);
    EXPECT_EQ(U32At(wave, 4), 4'320'132u);
    EXPECT_EQ(PlaybackDurationMs(4'320'096, 11025), 391'848u);
    const auto expected = DecodeNibbles(StoredBytes(image, DATA_OFFSET, DATA_CAPACITY));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wave.begin() + WAV_HEADER_SIZE));
}

TEST(WavRender, AdpcmSamplesRunHighNibbleFirstFromAResetState) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 0, 5, 3);
    image[DATA_OFFSET] = 0x07;
    image[DATA_OFFSET + 1] = 0x77;
    image[DATA_OFFSET + 2] = 0xDF;
    AdpcmDecode(workspace.adpcm, 15);  // a stale state must not leak into the fragment

    const auto wave = RenderWave(image, 1, workspace);
    const std::vector<std::uint8_t> samples(wave.begin() + WAV_HEADER_SIZE, wave.end());
    EXPECT_EQ(samples, (std::vector<std::uint8_t>{128, 128, 128, 128, 128, 127}));
}

TEST(WavRender, EmptyRowRendersNothing) {
    MemoryImage image;
    InitImage(image);
    EXPECT_TRUE(RenderWave(image, 1, workspace).empty());
}

// Entries a foreign image may hold: the data stops at the end of the image
// and the header tells the length actually played.
struct ClipCase {
    const char* name;
    int format;
    int page;
    std::uint32_t length;
    std::size_t dataLength;
};
void PrintTo(const ClipCase& c, std::ostream* os) {
    *os << c.name;
}

class WavRenderClipping : public testing::TestWithParam<ClipCase> {};

TEST_P(WavRenderClipping, DataInsideTheImageOnly) {
    const ClipCase& c = GetParam();
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, c.format, c.page, c.length);

    const auto wave = RenderWave(image, 1, workspace);
    ASSERT_EQ(wave.size(), WAV_HEADER_SIZE + c.dataLength);
    EXPECT_EQ(U32At(wave, 4), c.dataLength + 36);
    EXPECT_EQ(U32At(wave, 40), c.dataLength);

    const std::size_t start = std::min<std::size_t>(c.page * PAGE_SIZE, IMAGE_SIZE);
    const auto stored = StoredBytes(image, start, IMAGE_SIZE - start);
    const auto expected = c.format == 0 ? DecodeNibbles(stored) : stored;
    EXPECT_TRUE(
        std::equal(expected.begin(), expected.end(), wave.begin() + WAV_HEADER_SIZE, wave.end()));
}

INSTANTIATE_TEST_SUITE_P(ForeignEntries, WavRenderClipping,
                         testing::Values(ClipCase{"PcmRunningOffTheEnd", 2, 4090, 10 * 528,
                                                  6 * 528},
                                         ClipCase{"AdpcmInTheLastPage", 0, 4095, 1000, 2 * 528},
                                         ClipCase{"PageBeyondTheImage", 1, 0x3FFF, 0xFFFFFF, 0},
                                         ClipCase{"LongestLengthFromTheFirstDataPage", 0, 5,
                                                  0xFFFFFF, 2 * DATA_CAPACITY}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FragmentSamples, NeverDecodesPastTheGivenBuffer) {
    MemoryImage image;
    InitImage(image);
    PlaceFragment(image, 0, 0, 5, 1000);
    // A write past the buffer is the sanitizers' to catch.
    CodecWorkspace small(101);

    const auto samples = FragmentSamples(image, 1, small);
    EXPECT_EQ(samples.size(), 100u);
    EXPECT_EQ(std::vector<std::uint8_t>(samples.begin(), samples.end()),
              DecodeNibbles(StoredBytes(image, DATA_OFFSET, 50)));
}

}  // namespace
}  // namespace sonabank
