// The storage operations on a full image of 100 fragments, and the catalogue
// views the main window rebuilds its grid from.

#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_data.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"

namespace sonabank::bench {
namespace {

// Runs `operation` on a fresh copy of `pristine` each iteration. The copy is
// made with the timer paused, so only the operation is measured.
template <typename Operation>
void OnFreshCopies(benchmark::State& state, const MemoryImage& pristine, Operation operation) {
    MemoryImage image = pristine;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(image.data(), pristine.data(), IMAGE_SIZE);
        state.ResumeTiming();
        operation(image);
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel("< 1 ms");
}

// The first of 100 fragments shrinks to one page: the 99 behind it, nearly
// the whole data area, move down.
void BM_ResizeFragmentShrink(benchmark::State& state) {
    OnFreshCopies(state, FullImage(),
                  [](MemoryImage& image) { ResizeFragment(image, 1, PAGE_SIZE); });
}

// The first fragment grows into the room left at the end: the 99 behind it
// move up until the data area is full.
void BM_ResizeFragmentGrow(benchmark::State& state) {
    constexpr std::uint32_t kPagesEach = 40, kFree = 39;
    OnFreshCopies(state, FullImage(kPagesEach, kFree), [](MemoryImage& image) {
        ResizeFragment(image, 1, (kPagesEach + kFree) * PAGE_SIZE);
    });
}

// The first fragment goes: the data, entries and descriptions behind it move.
void BM_DeleteFragment(benchmark::State& state) {
    OnFreshCopies(state, FullImage(), [](MemoryImage& image) { DeleteFragment(image, 1); });
}

// What UpdateMessList asks of the core for 100 fragments.
void BM_ListFragmentsAndUsage(benchmark::State& state) {
    const MemoryImage image = FullImage();
    for (auto _ : state) {
        FragmentList list = ListFragments(image);
        std::string usage = UsageText(UsagePercent(image));
        benchmark::DoNotOptimize(list.rows.data());
        benchmark::DoNotOptimize(usage.data());
    }
}

BENCHMARK(BM_ResizeFragmentShrink)
    ->Name("ResizeFragment/full-shrink-first")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeFragmentGrow)
    ->Name("ResizeFragment/full-grow-first")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteFragment)->Name("DeleteFragment/full-first")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFragmentsAndUsage)->Name("UpdateMessList/core-100")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonabank::bench
