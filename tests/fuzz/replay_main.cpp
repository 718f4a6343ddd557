// Runs the project fuzz target over its seeds and over every file of the
// folders given (the crash inputs kept as regressions), without libFuzzer, so
// that the ordinary test run and the sanitizer run replay them all.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "seeds.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    int seeds = 0;
    for (const auto& seed : sonabank::fuzz::SeedInputs()) {
        std::printf("seed %s\n", seed.name.c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(seed.bytes.data(), seed.bytes.size());
        ++seeds;
    }

    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            std::fprintf(stderr, "not a folder: %s\n", argv[i]);
            return 2;
        }
        for (const auto& entry : fs::directory_iterator(argv[i])) {
            const bool hidden = entry.path().filename().string().starts_with('.');
            if (entry.is_regular_file() && !hidden) files.push_back(entry.path());
        }
    }
    std::ranges::sort(files);
    for (const fs::path& file : files) {
        std::printf("input %s\n", file.string().c_str());
        std::fflush(stdout);
        const std::vector<std::uint8_t> bytes = sonabank::test::ReadFile(file.string());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%d seeds and %zu kept inputs ran clean\n", seeds, files.size());
    return 0;
}
