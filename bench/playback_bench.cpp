// Play and Export of the largest fragments: the whole data area as PCM, and
// as ADPCM (4,320,096 samples to decode).

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "playback/raw_export.h"
#include "playback/wav_render.h"

namespace sonabank::bench {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

std::size_t SamplesOf(SoundFormat format) {
    return format == SoundFormat::ADPCM_11025 ? 2 * DATA_CAPACITY : DATA_CAPACITY;
}

void BM_RenderWave(benchmark::State& state, SoundFormat format) {
    const MemoryImage image = ImageWithOneFragment(format, DATA_CAPACITY);
    for (auto _ : state) {
        std::vector<std::uint8_t> wave = RenderWave(image, 1, workspace);
        if (wave.size() != WAV_HEADER_SIZE + SamplesOf(format)) {
            state.SkipWithError("wrong WAV size");
            break;
        }
        benchmark::DoNotOptimize(wave.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * SamplesOf(format)));
    if (format == SoundFormat::ADPCM_11025) state.SetLabel("< 20 ms");
}

void BM_ExportRaw(benchmark::State& state, SoundFormat format) {
    const MemoryImage image = ImageWithOneFragment(format, DATA_CAPACITY);
    static ScratchDir dir;
    const std::string path = dir.file("export.raw");
    for (auto _ : state) {
        if (ExportRaw(image, 1, path, workspace)) {
            state.SkipWithError("export refused");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * SamplesOf(format)));
    if (format == SoundFormat::ADPCM_11025) state.SetLabel("< 20 ms");
}

BENCHMARK_CAPTURE(BM_RenderWave, pcm, SoundFormat::PCM_22050)
    ->Name("RenderWave/largest-PCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderWave, adpcm, SoundFormat::ADPCM_11025)
    ->Name("RenderWave/largest-ADPCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportRaw, pcm, SoundFormat::PCM_22050)
    ->Name("ExportRaw/largest-PCM")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportRaw, adpcm, SoundFormat::ADPCM_11025)
    ->Name("ExportRaw/largest-ADPCM")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonabank::bench
