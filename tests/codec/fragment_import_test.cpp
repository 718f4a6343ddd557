// The three steps of an import with a source the program does not have: one
// of generated samples, here only. Encoding and placing take it as they take
// a RAW file.

#include "codec/fragment_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "image/fragment_storage.h"
#include "image/image_builder.h"
#include "source/raw_file_source.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

// Generated samples, handed out a few at a time as a decoder would, with or
// without telling their number first.
class GeneratedSource : public SampleSource {
  public:
    GeneratedSource(std::vector<std::int16_t> samples, bool lengthKnown)
        : samples_(std::move(samples)), lengthKnown_(lengthKnown) {}

    std::optional<std::uint64_t> KnownLength() const override {
        return lengthKnown_ ? std::optional<std::uint64_t>(samples_.size()) : std::nullopt;
    }
    std::size_t Read(std::span<std::int16_t> out) override {
        ++reads;
        // An odd block size splits the pairs ADPCM packs into one byte.
        const std::size_t n = std::min({out.size(), std::size_t{7}, samples_.size() - next_});
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(next_), n, out.begin());
        next_ += n;
        return n;
    }

    int reads = 0;

  private:
    std::vector<std::int16_t> samples_;
    bool lengthKnown_;
    std::size_t next_ = 0;
};

std::vector<std::int16_t> Sweep(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t k = 0; k < count; ++k) {
        samples[k] = static_cast<std::int16_t>((k * k * 37 + k * 911) % 65536 - 32768);
    }
    return samples;
}

std::vector<std::uint8_t> Le16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes;
    for (const std::int16_t s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return bytes;
}

TEST(FragmentImport, AGeneratedSourceIsStoredAsTheRawFileOfItsSamples) {
    test::TempDir dir;
    const std::vector<std::int16_t> samples = Sweep(1201);  // three pages, odd
    const std::string path = dir.file("sweep.raw");
    test::WriteFile(path, Le16(samples));
    for (const SoundFormat format :
         {SoundFormat::PCM_22050, SoundFormat::PCM_11025, SoundFormat::ADPCM_11025}) {
        for (const std::optional<int> replaced : {std::optional<int>(), std::optional<int>(2)}) {
            SCOPED_TRACE(testing::Message()
                         << static_cast<int>(format) << (replaced ? " change" : " add"));
            const MemoryImage start = test::PackedImage({1000, 3000, 500});
            MemoryImage fromFile = start;
            AdpcmState state;
            auto raw = RawFileSource::Open(path, SourceWidth::Bits16);
            ASSERT_TRUE(raw);
            ASSERT_TRUE(ImportFragment(fromFile, *raw, format, replaced, "Sweep", state).ok());
            for (const bool known : {true, false}) {
                MemoryImage generated = start;
                GeneratedSource source(samples, known);
                const ImportOutcome outcome =
                    ImportFragment(generated, source, format, replaced, "Sweep", state);
                ASSERT_TRUE(outcome.ok());
                EXPECT_EQ(outcome.row, replaced.value_or(4));
                EXPECT_TRUE(generated == fromFile) << (known ? "length known" : "length unknown");
            }
        }
    }
}

TEST(FragmentImport, LengthIsCheckedBeforeReadingWhenKnownAndAfterEncodingOtherwise) {
    const MemoryImage start = test::PackedImage({1000});
    const auto room = static_cast<std::size_t>(Room(start));
    const struct {
        const char* name;
        std::size_t samples;
        SoundFormat format;
        std::optional<Refusal> refusal;
    } cases[] = {
        {"no samples", 0, SoundFormat::PCM_22050, Refusal::NoSoundData},
        {"one sample as ADPCM", 1, SoundFormat::ADPCM_11025, Refusal::NoSoundData},
        {"exactly the room", room, SoundFormat::PCM_11025, std::nullopt},
        {"one sample more", room + 1, SoundFormat::PCM_11025, Refusal::TooBig},
        {"twice the room as ADPCM", 2 * room, SoundFormat::ADPCM_11025, std::nullopt},
    };
    for (const auto& c : cases) {
        for (const bool known : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (known ? ", length known" : ", length unknown"));
            MemoryImage image = start;
            AdpcmState state;
            GeneratedSource source(Sweep(c.samples), known);
            const ImportOutcome outcome =
                ImportFragment(image, source, c.format, std::nullopt, "x", state);
            EXPECT_EQ(outcome.refusal, c.refusal);
            if (c.refusal) {
                EXPECT_TRUE(image == start);
                // A known length is refused before the source is read.
                if (known) {
                    EXPECT_EQ(source.reads, 0);
                }
            } else {
                EXPECT_EQ(FragmentLength(image, 1),
                          c.format == SoundFormat::ADPCM_11025 ? c.samples / 2 : c.samples);
            }
        }
    }
}

}  // namespace
}  // namespace sonabank
