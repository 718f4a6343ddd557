// Writes the seed inputs into a folder, for libFuzzer to start from.

#include <cstdio>
#include <filesystem>

#include "seeds.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    for (const auto& seed : sonabank::fuzz::SeedInputs()) {
        sonabank::test::WriteFile((std::filesystem::path(argv[1]) / seed.name).string(),
                                  seed.bytes);
    }
    return 0;
}
