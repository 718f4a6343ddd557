// The ADPCM codec per sample, and the import of the largest source of each
// of the four conversions.

#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "bench_data.h"
#include "codec/adpcm.h"
#include "codec/fragment_import.h"
#include "source/raw_file_source.h"

namespace sonabank::bench {
namespace {

// Six seconds of sound: large enough to leave the branch predictor no
// pattern to learn, small enough to stay in the cache.
constexpr std::size_t kSamples = std::size_t{1} << 16;

std::vector<std::uint8_t> EncodeAll(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> codes(samples.size());
    AdpcmState adpcm;
    for (std::size_t i = 0; i < samples.size(); ++i) codes[i] = AdpcmEncode(adpcm, samples[i]);
    return codes;
}

void BM_AdpcmEncode(benchmark::State& state, Signal signal) {
    const auto samples = MakeSignal(signal, kSamples);
    std::vector<std::uint8_t> codes(kSamples);
    AdpcmState adpcm;
    for (auto _ : state) {
        AdpcmReset(adpcm);
        for (std::size_t i = 0; i < kSamples; ++i) codes[i] = AdpcmEncode(adpcm, samples[i]);
        benchmark::DoNotOptimize(codes.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
    state.SetLabel("<= 3.8 ns/sample");
}

void BM_AdpcmDecode(benchmark::State& state, Signal signal) {
    const auto codes = EncodeAll(MakeSignal(signal, kSamples));
    std::vector<std::uint8_t> out(kSamples);
    AdpcmState adpcm;
    for (auto _ : state) {
        AdpcmReset(adpcm);
        for (std::size_t i = 0; i < kSamples; ++i) out[i] = AdpcmDecode(adpcm, codes[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
    state.SetLabel("<= 3 ns/sample");
}

// The packed form playback and export decode: two samples per stored byte.
void BM_AdpcmDecodeRun(benchmark::State& state, Signal signal) {
    const auto codes = EncodeAll(MakeSignal(signal, kSamples));
    std::vector<std::uint8_t> stored(kSamples / 2);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = static_cast<std::uint8_t>(codes[2 * i] << 4 | codes[2 * i + 1]);
    }
    std::vector<std::uint8_t> out(kSamples);
    AdpcmState adpcm;
    for (auto _ : state) {
        AdpcmDecodeRun(adpcm, stored, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
    state.SetLabel("<= 1.8 ns/sample");
}

BENCHMARK_CAPTURE(BM_AdpcmEncode, speech, Signal::Speech)->Name("AdpcmEncode/speech");
BENCHMARK_CAPTURE(BM_AdpcmEncode, silence, Signal::Silence)->Name("AdpcmEncode/silence");
BENCHMARK_CAPTURE(BM_AdpcmEncode, noise, Signal::Noise)->Name("AdpcmEncode/noise");
BENCHMARK_CAPTURE(BM_AdpcmDecode, speech, Signal::Speech)->Name("AdpcmDecode/speech");
BENCHMARK_CAPTURE(BM_AdpcmDecode, silence, Signal::Silence)->Name("AdpcmDecode/silence");
BENCHMARK_CAPTURE(BM_AdpcmDecode, noise, Signal::Noise)->Name("AdpcmDecode/noise");
BENCHMARK_CAPTURE(BM_AdpcmDecodeRun, speech, Signal::Speech)->Name("AdpcmDecodeRun/speech");
BENCHMARK_CAPTURE(BM_AdpcmDecodeRun, noise, Signal::Noise)->Name("AdpcmDecodeRun/noise");

struct Conversion {
    SourceWidth width;
    SoundFormat format;
};

// Source bytes per stored byte.
std::size_t UnitOf(Conversion c) {
    return (c.width == SourceWidth::Bits16 ? 2 : 1) *
           (c.format == SoundFormat::ADPCM_11025 ? 2 : 1);
}

// The largest source the conversion accepts: its stored length is exactly
// the data area. Written once per program run and then read from the page
// cache, as a file the user has just made would be.
const std::string& LargestSource(Conversion c, Signal signal) {
    static ScratchDir dir;
    static std::map<std::string, std::string> paths;  // by file name
    const std::size_t bytes = DATA_CAPACITY * UnitOf(c);
    const bool wide = c.width == SourceWidth::Bits16;
    const std::string name =
        std::to_string(bytes) + (wide ? "-16bit-" : "-8bit-") + SignalName(signal) + ".raw";
    auto [it, added] = paths.try_emplace(name);
    if (added) {
        it->second = dir.file(name);
        const auto samples = MakeSignal(signal, wide ? bytes / 2 : bytes);
        WriteWholeFile(it->second, wide ? AsRaw16(samples) : AsRaw8(samples));
    }
    return it->second;
}

void BM_ImportRaw(benchmark::State& state, Conversion conversion, Signal signal) {
    const std::string path = LargestSource(conversion, signal);
    MemoryImage image;
    AdpcmState adpcm;
    for (auto _ : state) {
        state.PauseTiming();
        InitImage(image);
        state.ResumeTiming();
        auto source = RawFileSource::Open(path, conversion.width);
        if (!source) {
            state.SkipWithError("cannot open the source");
            break;
        }
        const ImportOutcome result =
            ImportFragment(image, *source, conversion.format, std::nullopt, "largest", adpcm);
        if (!result.ok() || FragmentLength(image, 0) != DATA_CAPACITY) {
            state.SkipWithError("import refused or stored the wrong length");
            break;
        }
    }
    const std::size_t samples =
        DATA_CAPACITY * UnitOf(conversion) / (conversion.width == SourceWidth::Bits16 ? 2 : 1);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples));
    if (conversion.width == SourceWidth::Bits16 && conversion.format == SoundFormat::ADPCM_11025) {
        state.SetLabel("< 40 ms");
    }
}

constexpr Conversion k8Pcm{SourceWidth::Bits8, SoundFormat::PCM_22050};
constexpr Conversion k16Pcm{SourceWidth::Bits16, SoundFormat::PCM_22050};
constexpr Conversion k8Adpcm{SourceWidth::Bits8, SoundFormat::ADPCM_11025};
constexpr Conversion k16Adpcm{SourceWidth::Bits16, SoundFormat::ADPCM_11025};

BENCHMARK_CAPTURE(BM_ImportRaw, 8pcm, k8Pcm, Signal::Speech)
    ->Name("ImportRaw/8bit-PCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportRaw, 16pcm, k16Pcm, Signal::Speech)
    ->Name("ImportRaw/16bit-PCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportRaw, 8adpcm, k8Adpcm, Signal::Speech)
    ->Name("ImportRaw/8bit-ADPCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportRaw, 16adpcm, k16Adpcm, Signal::Speech)
    ->Name("ImportRaw/16bit-ADPCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportRaw, 16adpcm_noise, k16Adpcm, Signal::Noise)
    ->Name("ImportRaw/16bit-ADPCM/noise")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonabank::bench
