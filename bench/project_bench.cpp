// Opening and saving a project file. Save syncs its temporary file before
// renaming it, so it is measured twice: on the disk, sync included, and on a
// memory file system, where the sync costs next to nothing, which is the
// figure the "sync excluded" target speaks of.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_data.h"
#include "project/project_file.h"

namespace sonabank::bench {
namespace {

constexpr const char* kMemoryFileSystem = "/dev/shm";

void BM_OpenProject(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.file("project.bin");
    MemoryImage image = FullImage();
    if (SaveProject(path, image, "(c) bench")) {
        state.SkipWithError("cannot save the project to open");
        return;
    }
    for (auto _ : state) {
        if (OpenProject(path, image)) {
            state.SkipWithError("open refused");
            break;
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetLabel("< 5 ms");
}

void BM_SaveProject(benchmark::State& state, bool memoryFileSystem) {
    if (memoryFileSystem && !std::filesystem::is_directory(kMemoryFileSystem)) {
        state.SkipWithError("no memory file system at /dev/shm");
        return;
    }
    ScratchDir dir(memoryFileSystem ? kMemoryFileSystem : "");
    const std::string path = dir.file("project.bin");
    MemoryImage image = FullImage();
    for (auto _ : state) {
        if (SaveProject(path, image, "(c) bench")) {
            state.SkipWithError("save refused");
            break;
        }
    }
    if (memoryFileSystem) state.SetLabel("< 5 ms");
}

BENCHMARK(BM_OpenProject)->Name("OpenProject")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveProject, tmpfs, true)
    ->Name("SaveProject/tmpfs-no-sync-cost")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveProject, disk, false)
    ->Name("SaveProject/disk-with-sync")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace sonabank::bench
