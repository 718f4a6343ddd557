#include "bench_data.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <system_error>

namespace sonabank::bench {

namespace {

// splitmix64: tiny, fast and identical on every platform, unlike the
// standard distributions.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1).
    double Signed() { return static_cast<double>(Next() >> 11) * 0x1.0p-52 - 1.0; }

  private:
    std::uint64_t state_;
};

constexpr double kRate = 11025.0;

// Twelve seconds are synthesised and then repeated: a harmonic series per
// sample is too slow to fill the largest sources afresh.
constexpr std::size_t kSpeechPeriod = std::size_t{1} << 17;

std::vector<std::int16_t> MakeSpeech(std::size_t count) {
    Random random(7);
    std::vector<std::int16_t> out(count);
    constexpr double kFormants[3] = {700.0, 1220.0, 2600.0};
    constexpr double kBandwidth = 130.0;
    double phase = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        if (n >= kSpeechPeriod) {
            out[n] = out[n - kSpeechPeriod];
            continue;
        }
        const double t = static_cast<double>(n) / kRate;
        // Syllables of 250 ms: 180 ms voiced, 40 ms fricative, 30 ms pause.
        const double inSyllable = std::fmod(t, 0.25);
        double value = 0.0;
        if (inSyllable < 0.18) {
            const double pitch = 120.0 + 30.0 * std::sin(2.0 * std::numbers::pi * 0.7 * t);
            phase += 2.0 * std::numbers::pi * pitch / kRate;
            const double envelope = std::sin(std::numbers::pi * inSyllable / 0.18);
            for (int h = 1; pitch * h < kRate / 2; ++h) {
                const double f = pitch * h;
                double gain = 0.0;
                for (double formant : kFormants) {
                    const double d = (f - formant) / kBandwidth;
                    gain += 1.0 / (1.0 + d * d);
                }
                value += envelope * gain / h * std::sin(phase * h);
            }
            value *= 0.35;
        } else if (inSyllable < 0.22) {
            value = 0.12 * random.Signed();
        }
        value += 0.002 * random.Signed();
        out[n] = static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
    }
    return out;
}

}  // namespace

const char* SignalName(Signal signal) {
    switch (signal) {
        case Signal::Speech:
            return "speech";
        case Signal::Silence:
            return "silence";
        case Signal::Noise:
            return "noise";
    }
    return "?";
}

std::vector<std::int16_t> MakeSignal(Signal signal, std::size_t count) {
    switch (signal) {
        case Signal::Speech:
            return MakeSpeech(count);
        case Signal::Silence:
            return std::vector<std::int16_t>(count, 0);
        case Signal::Noise: {
            Random random(11);
            std::vector<std::int16_t> out(count);
            for (auto& s : out) s = static_cast<std::int16_t>(random.Next() >> 48);
            return out;
        }
    }
    return {};
}

std::vector<std::uint8_t> AsRaw16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out;
    out.reserve(samples.size() * 2);
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

std::vector<std::uint8_t> AsRaw8(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out;
    out.reserve(samples.size());
    for (std::int16_t s : samples) {
        out.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) ^ 0x80));
    }
    return out;
}

namespace {

void FillData(MemoryImage& image) {
    Random random(3);
    for (std::size_t i = DATA_OFFSET; i < IMAGE_SIZE; ++i) {
        image[i] = static_cast<std::uint8_t>(random.Next() >> 56);
    }
}

void PlaceFragment(MemoryImage& image, int slot, std::uint32_t startPage, SoundFormat format,
                   std::uint32_t length) {
    SetEntryWord(image, slot, static_cast<std::uint16_t>(startPage));
    SetFragmentFormat(image, slot + 1, static_cast<int>(format));
    SetFragmentLength(image, slot, length);
    WritePaddedText(DescriptionField(image, slot), DESCRIPTION_WIDTH - 1,
                    "Fragment " + std::to_string(slot + 1));
}

}  // namespace

MemoryImage ImageWithOneFragment(SoundFormat format, std::uint32_t length) {
    MemoryImage image;
    InitImage(image);
    FillData(image);
    PlaceFragment(image, 0, HEADER_PAGES, format, length);
    return image;
}

MemoryImage FullImage(std::uint32_t pagesEach, std::uint32_t pagesLeftFree) {
    MemoryImage image;
    InitImage(image);
    FillData(image);
    const std::uint32_t dataPages = PAGE_COUNT - HEADER_PAGES;
    std::uint32_t page = HEADER_PAGES;
    for (int slot = 0; slot < MAX_FRAGMENTS; ++slot) {
        const bool last = slot == MAX_FRAGMENTS - 1;
        const std::uint32_t pages =
            last ? dataPages - (page - HEADER_PAGES) - pagesLeftFree : pagesEach;
        // A partly filled last page, as an import leaves it; the last
        // fragment ends exactly at the end of its pages.
        const std::uint32_t length = pages * PAGE_SIZE - (last ? 0 : 100 + slot);
        PlaceFragment(image, slot, page, static_cast<SoundFormat>(slot % 3), length);
        page += pages;
    }
    return image;
}

ScratchDir::ScratchDir(const std::filesystem::path& parent) {
    std::filesystem::path base = parent;
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = (base / "sonabank-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace sonabank::bench
